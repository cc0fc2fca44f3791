// Page encryption: the eight ciphers a database may be encrypted with, keyed
// from a digest of the password, each message (a page data area or the
// password check block) encrypted in CBC mode with ciphertext stealing, so
// that the ciphertext is exactly as long as the plaintext.
//
// The key is the first min(digest size, the cipher's maximum key size) bytes
// of the password's RIPEMD digest; the initialisation vector is the
// encryption, under that key, of one block of 0xFF bytes, so the same
// password always reads the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvorin {

enum TABSCipherId : uint8_t {
  ciRijndael128 = 0,
  ciRijndael256 = 1,
  ciDesSingle = 2,
  ciDesTriple = 3,
  ciBlowfish = 4,
  ciTwofish128 = 5,
  ciTwofish256 = 6,
  ciSquare = 7,
};
inline constexpr int kCipherCount = 8;

struct TABSPassword {
  std::string password;
  uint8_t cipher_id = ciRijndael128;
};

inline bool IsValidCipherId(int id) { return id >= 0 && id < kCipherCount; }
std::string_view CipherName(uint8_t id);  // "" for an invalid id
std::optional<uint8_t> CipherIdFromName(std::string_view name);
// Block size in bytes; 0 for an invalid id.
size_t CipherBlockSize(uint8_t id);

// Encrypt or decrypt size bytes in place. False (the data unchanged) on an
// invalid id, a message no longer than one block, or a failure in the cipher.
bool EncryptBuffer(uint8_t* data, size_t size, const std::string& password, uint8_t cipher_id);
bool DecryptBuffer(uint8_t* data, size_t size, const std::string& password, uint8_t cipher_id);

}  // namespace kelvorin
