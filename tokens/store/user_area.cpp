#include "tokens/store/user_area.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace tokens {
namespace {

// Where each block's slot ends: the next length field, or the area's end.
int32_t SlotEnd(int32_t length_at, std::size_t area_size) {
  for (const int32_t next : {kCertificateLengthAt, kCompletionLengthAt, kOwnerLengthAt})
    if (length_at < next) return next;
  return static_cast<int32_t>(area_size);
}

// Up to four characters, read up to the first NUL, as an unsigned
// hexadecimal number; an empty field is 0.
std::optional<std::size_t> ParseLengthField(std::span<const unsigned char> field) {
  std::size_t value = 0;
  for (const unsigned char c : field) {
    if (c == '\0') break;
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * 16 + static_cast<std::size_t>(digit);
  }
  return value;
}

template <typename Area>
bool Place(Area& area, int32_t length_at, const unsigned char* block, std::size_t size) {
  const int32_t at = length_at + kLengthFieldSize;
  if (size > static_cast<std::size_t>(SlotEnd(length_at, area.size()) - at)) return false;
  std::array<char, kLengthFieldSize + 1> field{};
  std::snprintf(field.data(), field.size(), "%04zX", size);
  std::memcpy(area.data() + length_at, field.data(), kLengthFieldSize);
  if (size > 0) std::memcpy(area.data() + at, block, size);
  return true;
}

}  // namespace

std::optional<SecretBytes> BuildPrivateArea(const AreaBlocks& blocks) {
  SecretBytes area(kPrivateAreaSize, 0);
  const auto* key = reinterpret_cast<const unsigned char*>(blocks.key_pem.data());
  if (!Place(area, kKeyLengthAt, key, blocks.key_pem.size()) ||
      !Place(area, kCertificateLengthAt, blocks.certificate.data(), blocks.certificate.size()) ||
      !Place(area, kCompletionLengthAt, blocks.completion.data(), blocks.completion.size()))
    return std::nullopt;
  return area;
}

std::optional<Bytes> BuildPublicArea(std::string_view owner_record) {
  if (owner_record.size() > kMaxOwnerRecord) return std::nullopt;
  Bytes area(kLengthFieldSize + owner_record.size(), 0);
  std::array<char, kLengthFieldSize + 1> field{};
  std::snprintf(field.data(), field.size(), "%04zX", owner_record.size());
  std::memcpy(area.data(), field.data(), kLengthFieldSize);
  std::memcpy(area.data() + kLengthFieldSize, owner_record.data(), owner_record.size());
  return area;
}

std::optional<std::span<const unsigned char>> ReadBlock(std::span<const unsigned char> area,
                                                        int32_t length_at) {
  if (length_at < 0 || area.size() < static_cast<std::size_t>(length_at) + kLengthFieldSize)
    return std::nullopt;
  const auto length = ParseLengthField(area.subspan(static_cast<std::size_t>(length_at), 4));
  const auto at = static_cast<std::size_t>(length_at + kLengthFieldSize);
  const auto end = static_cast<std::size_t>(SlotEnd(length_at, area.size()));
  if (!length || end > area.size() || *length > end - at) return std::nullopt;
  return area.subspan(at, *length);
}

std::optional<std::string_view> OwnerRecordOf(std::span<const unsigned char> public_area) {
  if (public_area.size() < kLengthFieldSize) return std::nullopt;
  const auto length = ParseLengthField(public_area.first(kLengthFieldSize));
  if (!length || *length > public_area.size() - kLengthFieldSize) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(public_area.data()) + kLengthFieldSize,
                          *length);
}

std::optional<AreaBlocks> BlocksOf(std::span<const unsigned char> area) {
  const auto key = ReadBlock(area, kKeyLengthAt);
  const auto certificate = ReadBlock(area, kCertificateLengthAt);
  const auto completion = ReadBlock(area, kCompletionLengthAt);
  if (!key || !certificate || !completion || key->empty() || certificate->empty())
    return std::nullopt;
  AreaBlocks blocks;
  blocks.key_pem.assign(reinterpret_cast<const char*>(key->data()), key->size());
  blocks.certificate.assign(certificate->begin(), certificate->end());
  blocks.completion.assign(completion->begin(), completion->end());
  return blocks;
}

}  // namespace tokens
