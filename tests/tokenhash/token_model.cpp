// The token's side of the keyed hashing, with libcrypto's MD5.
//
// The low-level MD5 functions are the only libcrypto interface that resumes
// MD5 from a given chaining value, which is exactly what the token does;
// OpenSSL 3 marks them deprecated but keeps them.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "token_model.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/md5.h>

#include <map>
#include <optional>
#include <utility>

namespace vuxa_test {

namespace {

constexpr uint32_t kInitialValue[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
constexpr uint8_t kWrongForm = 0x0B;
constexpr uint8_t kNoSuchFile = 0x0A;
constexpr uint8_t kFileType2 = 2 << 5;

uint32_t le32(const uint8_t *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}

void put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = (uint8_t)(v >> (8 * i));
}

struct Words {
    uint32_t w[4];
};

Words words_of(const uint8_t *bytes)
{
    return {{le32(bytes), le32(bytes + 4), le32(bytes + 8), le32(bytes + 12)}};
}

std::vector<uint8_t> bytes_of(const Words &words)
{
    std::vector<uint8_t> bytes(16);
    for (int k = 0; k < 4; k++)
        put32(&bytes[4 * k], words.w[k]);
    return bytes;
}

// One MD5 compression with the chaining value added back, as RFC 1321
// ends each block.
Words compress(const Words &chain, const uint8_t *block)
{
    MD5_CTX md5;
    MD5_Init(&md5);
    md5.A = chain.w[0];
    md5.B = chain.w[1];
    md5.C = chain.w[2];
    md5.D = chain.w[3];
    MD5_Transform(&md5, block);
    return {{md5.A, md5.B, md5.C, md5.D}};
}

Words minus(const Words &a, const uint32_t *b)
{
    return {{a.w[0] - b[0], a.w[1] - b[1], a.w[2] - b[2], a.w[3] - b[3]}};
}

DriverReply answer(const Words &words)
{
    return DriverReply::bytes(bytes_of(words));
}

bool all_zero(const uint8_t *p, size_t n)
{
    for (size_t i = 0; i < n; i++)
        if (p[i])
            return false;
    return true;
}

bool is_initial_value(const uint8_t *chaining)
{
    const Words chain = words_of(chaining);
    for (int k = 0; k < 4; k++)
        if (chain.w[k] != kInitialValue[k])
            return false;
    return true;
}

} // namespace

struct TokenModel::Files {
    std::map<std::pair<uint32_t, uint32_t>, std::vector<uint8_t>> files;
    const std::vector<uint8_t> *selected = nullptr;

    DriverReply select(const std::vector<uint8_t> &request);
    DriverReply raw(const uint8_t *chaining, const uint8_t *block) const;
    DriverReply keyed(const uint8_t *chaining, const uint8_t *block) const;
    DriverReply chap(const uint8_t *chaining, const uint8_t *block) const;
};

DriverReply TokenModel::Files::select(const std::vector<uint8_t> &request)
{
    selected = nullptr;
    if (request.size() != 8)
        return DriverReply::status(kWrongForm);
    const auto found = files.find({le32(&request[0]), le32(&request[4])});
    if (found == files.end())
        return DriverReply::status(kNoSuchFile);
    selected = &found->second;
    const auto words = (uint16_t)(selected->size() / 2);
    return DriverReply::bytes({(uint8_t)words, (uint8_t)(words >> 8), kFileType2, 0});
}

DriverReply TokenModel::Files::raw(const uint8_t *chaining, const uint8_t *block) const
{
    const Words chain = words_of(chaining);
    return answer(minus(compress(chain, block), chain.w));
}

DriverReply TokenModel::Files::keyed(const uint8_t *chaining, const uint8_t *block) const
{
    if (selected == nullptr || selected->size() != 16 || !all_zero(chaining, 16))
        return DriverReply::status(kWrongForm);
    return answer(compress(words_of(selected->data()), block));
}

DriverReply TokenModel::Files::chap(const uint8_t *chaining, const uint8_t *block) const
{
    const uint32_t challenge_length = block[1];
    if (selected == nullptr || challenge_length > 50 || block[2 + challenge_length] != 0x80 ||
        !all_zero(block + 3 + challenge_length, 64 - 3 - challenge_length) ||
        !is_initial_value(chaining))
        return DriverReply::status(kWrongForm);
    std::vector<uint8_t> message = {block[0]};
    message.insert(message.end(), selected->begin(), selected->end());
    message.insert(message.end(), block + 2, block + 2 + challenge_length);
    const Md5Bytes digest = reference_md5(message);
    return answer(minus(words_of(digest.data()), kInitialValue));
}

TokenModel::TokenModel() : files_(std::make_shared<Files>()) {}

void TokenModel::put_file(uint32_t dir_id, uint32_t file_id, std::vector<uint8_t> contents)
{
    files_->files[{dir_id, file_id}] = std::move(contents);
}

ScriptedDriver::CommandHandler TokenModel::handler() const
{
    auto files = files_;
    return [files](const CommandBlock &block) -> std::optional<DriverReply> {
        std::vector<uint8_t> request = {(uint8_t)block.param1, (uint8_t)(block.param1 >> 8),
                                        (uint8_t)block.param2, (uint8_t)(block.param2 >> 8)};
        request.insert(request.end(), block.payload.begin(), block.payload.end());
        if (block.command == 0x105)
            return files->select(request);
        if (request.size() != 80)
            return std::nullopt;
        const uint8_t *chaining = request.data();
        const uint8_t *message_block = request.data() + 16;
        switch (block.command) {
        case 0x110:
            return files->raw(chaining, message_block);
        case 0x111:
            return files->keyed(chaining, message_block);
        case 0x118:
            return files->chap(chaining, message_block);
        default:
            return std::nullopt;
        }
    };
}

Md5Bytes hmac_key_state(const std::vector<uint8_t> &key, uint8_t pad)
{
    uint8_t block[64] = {};
    if (key.size() > 64)
        MD5(key.data(), key.size(), block);
    else
        std::copy(key.begin(), key.end(), block);
    for (uint8_t &byte : block)
        byte ^= pad;
    MD5_CTX md5;
    MD5_Init(&md5);
    MD5_Update(&md5, block, sizeof block);
    Md5Bytes state;
    const uint32_t words[4] = {md5.A, md5.B, md5.C, md5.D};
    for (int k = 0; k < 4; k++)
        put32(&state[4 * k], words[k]);
    return state;
}

Md5Bytes reference_hmac_md5(const std::vector<uint8_t> &key, const std::vector<uint8_t> &data)
{
    static const uint8_t empty = 0;
    Md5Bytes digest{};
    unsigned int length = 0;
    HMAC(EVP_md5(), key.empty() ? &empty : key.data(), (int)key.size(),
         data.empty() ? &empty : data.data(), data.size(), digest.data(), &length);
    return digest;
}

Md5Bytes reference_md5(const std::vector<uint8_t> &message)
{
    Md5Bytes digest{};
    unsigned int length = 0;
    EVP_Digest(message.data(), message.size(), digest.data(), &length, EVP_md5(), nullptr);
    return digest;
}

} // namespace vuxa_test
