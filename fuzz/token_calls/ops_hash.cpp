// Token hashing: the primitive and the HMAC and CHAP sequences on it.
#include <algorithm>

#include "exact_buffer.h"
#include "pending_exports.h"
#include "run.h"

namespace {

constexpr uint32_t kDigestSize = 16;
constexpr uint32_t kBlockSize = 64;
constexpr uint32_t kChapLimit = 52;
constexpr int32_t kHmacLimit = 55;
constexpr int32_t kChallengeLimit = 50;

// A signed length: mostly within and around the limit, sometimes any
// value, negative ones included.
int32_t choose_signed_length(FuzzInput &in, int32_t limit)
{
    switch (in.u8() % 4) {
    case 0:
        return int32_t(in.u32());
    case 1:
        return -1 - int32_t(in.u8());
    default:
        return int32_t(in.below(uint32_t(limit) + 3));
    }
}

void hash_token(Run &run)
{
    if (!Pyxo_HashToken)
        return;
    const uint32_t mode = run.in.flag() ? run.in.u32() : run.in.u8() % 4;
    const uint32_t length = run.in.count(kBlockSize + 2);
    const bool in_place = run.in.flag(); // data and digest in one buffer
    const uint32_t read = std::min(length, kBlockSize);
    ExactBuffer data(in_place ? std::max(read, kDigestSize) : read, run.in);
    ExactBuffer separate_digest(kDigestSize);
    uint8_t *digest = in_place ? data.data() : separate_digest.data();
    const ExactBuffer data_before = data.copy();
    const ExactBuffer digest_before = separate_digest.copy();
    const Before before(*run.context);
    const uint32_t status = Pyxo_HashToken(run.context, mode, data.data(), length, digest);
    check_status(status);
    FUZZ_CHECK(before.image.same(*run.context), "hash changes nothing in the record");
    FUZZ_CHECK(before.commands_since() <= 1, "hash: one command");
    if (!in_place)
        FUZZ_CHECK(data.same_as(data_before), "hash: data read only");
    const uint32_t refusal = (mode & 0x0F) > 2                         ? PYXO_ERR_INVALID_PARAMETER
                             : (mode & 0x0F) == 2 && length > kChapLimit ? PYXO_ERR_DATA_TOO_LONG
                                                                         : PYXO_OK;
    if (refusal == PYXO_OK)
        return;
    FUZZ_CHECK(status == refusal && before.commands_since() == 0, "hash: refused arguments");
    FUZZ_CHECK((in_place ? data.same_as(data_before) : separate_digest.same_as(digest_before)),
               "hash refused: digest untouched");
}

// The refusals of the HMAC and CHAP calls, made before anything else.
void check_length_refusal(const Before &before, const PYXO_CONTEXT &context, uint32_t status,
                          int32_t length, int32_t limit)
{
    if (length >= 0 && length <= limit)
        return;
    FUZZ_CHECK(status == (length < 0 ? PYXO_ERR_INVALID_PARAMETER : PYXO_ERR_DATA_TOO_LONG),
               "negative or too long a message");
    FUZZ_CHECK(before.commands_since() == 0 && before.image.same(context),
               "refused message: nothing selected or sent");
}

void hmac_md5(Run &run)
{
    if (!Pyxo_HMAC_MD5)
        return;
    uint32_t ids[4];
    for (uint32_t &id : ids)
        id = choose_id(run.in);
    const int32_t length = choose_signed_length(run.in, kHmacLimit);
    const bool valid = length >= 0 && length <= kHmacLimit;
    const ExactBuffer data(valid ? uint32_t(length) : 0, run.in);
    const ExactBuffer original = data.copy();
    ExactBuffer digest(kDigestSize);
    const Before before(*run.context);
    const uint32_t status = Pyxo_HMAC_MD5(run.context, ids[0], ids[1], ids[2], ids[3],
                                          data.data(), length, digest.data());
    check_status(status);
    FUZZ_CHECK(data.same_as(original), "HMAC: data read only");
    FUZZ_CHECK(before.only_changed(*run.context, kMirrorFields), "HMAC: mirror only");
    FUZZ_CHECK(before.commands_since() <= 4, "HMAC: two selections and two hashes");
    check_length_refusal(before, *run.context, status, length, kHmacLimit);
    const Mirror m = Mirror::of(*run.context);
    if (status == PYXO_OK)
        FUZZ_CHECK(m.dir_id == ids[2] && m.file_id == ids[3] && m.type <= 7,
                   "HMAC: the outer key file stays selected");
}

void chap_md5(Run &run)
{
    if (!Pyxo_CHAP_MD5)
        return;
    const uint32_t dir_id = choose_id(run.in);
    const uint32_t file_id = choose_id(run.in);
    const uint32_t identifier = run.in.u32();
    const int32_t length = choose_signed_length(run.in, kChallengeLimit);
    const bool valid = length >= 0 && length <= kChallengeLimit;
    const ExactBuffer challenge(valid ? uint32_t(length) : 0, run.in);
    const ExactBuffer original = challenge.copy();
    ExactBuffer digest(kDigestSize);
    const Before before(*run.context);
    const uint32_t status = Pyxo_CHAP_MD5(run.context, dir_id, file_id, identifier,
                                          challenge.data(), length, digest.data());
    check_status(status);
    FUZZ_CHECK(challenge.same_as(original), "CHAP: challenge read only");
    FUZZ_CHECK(before.only_changed(*run.context, kMirrorFields), "CHAP: mirror only");
    FUZZ_CHECK(before.commands_since() <= 2, "CHAP: a selection and a hash");
    check_length_refusal(before, *run.context, status, length, kChallengeLimit);
    const Mirror m = Mirror::of(*run.context);
    if (status == PYXO_OK)
        FUZZ_CHECK(m.dir_id == dir_id && m.file_id == file_id && m.type <= 7,
                   "CHAP: the secret's file stays selected");
}

} // namespace

const Operation kHashOperations[] = {hash_token, hmac_md5, chap_md5, nullptr};
