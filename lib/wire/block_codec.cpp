#include "lib/wire/block_codec.h"

#include <zlib.h>

#include <array>
#include <cstdint>
#include <stdexcept>

namespace wire {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::array<int, 256> DecodeTable() {
  std::array<int, 256> table{};
  table.fill(-1);
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
  return table;
}

// The deflated bytes follow the length of the text they expand to, so that
// the block is inflated in one call into a buffer of the right size.
std::string Deflate(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(8 + size, '\0');
  const std::uint64_t length = text.size();
  for (int i = 0; i < 8; ++i)
    out[static_cast<std::size_t>(i)] = static_cast<char>((length >> (8 * i)) & 0xFF);
  if (compress2(reinterpret_cast<Bytef*>(out.data() + 8), &size, reinterpret_cast<const Bytef*>(text.data()),
                static_cast<uLong>(text.size()), 1) != Z_OK) {
    throw std::runtime_error("the lines could not be compressed");
  }
  out.resize(8 + size);
  return out;
}

std::string Inflate(const std::string& bytes) {
  if (bytes.size() < 8) throw std::invalid_argument("a block of lines is too short");
  std::uint64_t length = 0;
  for (int i = 7; i >= 0; --i)
    length = (length << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
  if (length > (std::uint64_t{1} << 31)) throw std::invalid_argument("a block of lines is too large");
  std::string out(static_cast<std::size_t>(length), '\0');
  uLongf size = static_cast<uLongf>(length);
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(bytes.data() + 8),
                 static_cast<uLong>(bytes.size() - 8)) != Z_OK ||
      size != length) {
    throw std::invalid_argument("a block of lines is damaged");
  }
  return out;
}

}  // namespace

std::string Base64Encode(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    const unsigned n = (b(0) << 16) | (b(1) << 8) | b(2);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  if (i < bytes.size()) {
    const unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string Base64Decode(const std::string& text) {
  static const std::array<int, 256> table = DecodeTable();
  if (text.size() % 4 != 0)
    throw std::invalid_argument("base64 text of a length that is not a multiple of 4");
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    int v[4];
    int pad = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[i + static_cast<std::size_t>(k)];
      if (c == '=' && i + 4 == text.size() && k >= 2) {
        v[k] = 0;
        ++pad;
        continue;
      }
      v[k] = pad ? -1 : table[static_cast<unsigned char>(c)];
      if (v[k] < 0) throw std::invalid_argument("a character that is not base64");
    }
    const unsigned n = (static_cast<unsigned>(v[0]) << 18) | (static_cast<unsigned>(v[1]) << 12) |
                       (static_cast<unsigned>(v[2]) << 6) | static_cast<unsigned>(v[3]);
    out += static_cast<char>((n >> 16) & 0xFF);
    if (pad < 2) out += static_cast<char>((n >> 8) & 0xFF);
    if (pad < 1) out += static_cast<char>(n & 0xFF);
  }
  return out;
}

std::string PackLines(const std::vector<std::string>& lines) {
  std::string text;
  std::size_t size = 0;
  for (const auto& l : lines) size += l.size() + 1;
  text.reserve(size);
  for (const auto& l : lines) {
    if (l.find('\n') != std::string::npos) throw std::invalid_argument("a line holds a line feed");
    text += l;
    text += '\n';
  }
  return PackJoinedLines(text);
}

std::string PackJoinedLines(const std::string& text) {
  if (!text.empty() && text.back() != '\n') throw std::invalid_argument("the last line has no line feed");
  return Base64Encode(Deflate(text));
}

std::string UnpackJoinedLines(const std::string& block) {
  std::string text = Inflate(Base64Decode(block));
  if (!text.empty() && text.back() != '\n')
    throw std::invalid_argument("a block of lines does not end with a line feed");
  return text;
}

std::vector<std::string> UnpackLines(const std::string& block) {
  const std::string text = UnpackJoinedLines(block);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find('\n', start);
    if (end == std::string::npos)
      throw std::invalid_argument("a block of lines does not end with a line feed");
    lines.emplace_back(text, start, end - start);
    start = end + 1;
  }
  return lines;
}

}  // namespace wire
