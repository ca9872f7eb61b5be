#include "token_files.h"

namespace e2e {

uint32_t open_free_token(PYXO_CONTEXT &context)
{
    uint32_t status = Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST);
    while (status == PYXO_ERR_DEVICE_21)
        status = Pyxo_OpenDevice(&context, PYXO_OPEN_NEXT);
    return status;
}

uint32_t log_in(PYXO_CONTEXT &context)
{
    uint32_t status = Pyxo_VerifyPIN(&context, kPin);
    return status != PYXO_OK ? status : Pyxo_VerifyMasterKey(&context, kMasterKey.data());
}

uint32_t create_open_data_file(PYXO_CONTEXT &context, uint32_t dir_id, uint32_t file_id,
                               uint32_t size)
{
    PYXO_FILEINFO info{file_id, dir_id, size, kDataFile, kAlways, kAlways, 0};
    return Pyxo_CreateFile(&context, &info);
}

uint32_t create_key_file(PYXO_CONTEXT &context, uint32_t dir_id, uint32_t file_id,
                         const std::vector<uint8_t> &contents)
{
    PYXO_FILEINFO info{file_id,   dir_id, uint32_t(contents.size()), kKeyFile, kNever,
                       kAfterPin, kAlways};
    uint32_t status = Pyxo_CreateFile(&context, &info);
    if (status != PYXO_OK)
        return status;
    uint32_t written = 0;
    return Pyxo_WriteFile(&context, contents.data(), 0, uint32_t(contents.size()), &written);
}

std::vector<uint8_t> chap_secret_file(const std::vector<uint8_t> &secret)
{
    std::vector<uint8_t> file{uint8_t(secret.size()), uint8_t(secret.size() >> 8)};
    file.insert(file.end(), secret.begin(), secret.end());
    if (file.size() % 2 != 0)
        file.push_back(0);
    return file;
}

std::vector<uint8_t> pattern(size_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(seed * 31 + i * 7 + (i >> 8));
    return bytes;
}

std::string hex(const uint8_t *bytes, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

} // namespace e2e
