#include "host/net/stored_zip.h"

#include <zlib.h>

#include <filesystem>
#include <stdexcept>

namespace net {
namespace {

constexpr std::uint64_t kLocalHeader = 30, kDescriptor = 16, kCentralHeader = 46, kEnd = 22;
// Data descriptor follows the data (its CRC is known only then); names in UTF-8.
constexpr std::uint16_t kFlags = 0x0008 | 0x0800;
constexpr std::uint16_t kFirstDosDate = 0x21;  // 1980-01-01

void Put16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

}  // namespace

StoredZip::StoredZip(std::vector<ZipMember> members) {
  if (members.size() > kMostMembers) throw std::runtime_error("arquivos demais para um só envio");
  std::uint64_t at = 0;
  for (ZipMember& file : members) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file.path, error);
    if (error) throw std::runtime_error("não foi possível ler " + file.path + ": " + error.message());
    Member m{std::move(file), static_cast<std::uint32_t>(size), 0, static_cast<std::uint32_t>(at)};
    at += kLocalHeader + m.file.name.size() + size + kDescriptor;
    if (size > 0xFFFFFFFFu || at > 0xFFFFFFFFu)
      throw std::runtime_error("arquivos grandes demais para um só envio");
    members_.push_back(std::move(m));
  }
  for (const Member& m : members_) at += kCentralHeader + m.file.name.size();
  size_ = at + kEnd;
  if (size_ > 0xFFFFFFFFu) throw std::runtime_error("arquivos grandes demais para um só envio");
  Advance();
}

void StoredZip::Advance() {
  pending_.clear();
  pending_at_ = 0;
  if (stage_ == Stage::Header && current_ == members_.size()) stage_ = Stage::Directory;
  if (stage_ == Stage::Header) {
    const Member& m = members_[current_];
    Put32(pending_, 0x04034b50);
    Put16(pending_, 20);
    Put16(pending_, kFlags);
    Put16(pending_, 0);  // stored
    Put16(pending_, 0);
    Put16(pending_, kFirstDosDate);
    Put32(pending_, 0);  // the CRC, in the descriptor
    Put32(pending_, m.size);
    Put32(pending_, m.size);
    Put16(pending_, static_cast<std::uint32_t>(m.file.name.size()));
    Put16(pending_, 0);
    pending_ += m.file.name;
    in_ = std::ifstream(m.file.path, std::ios::binary);
    if (!in_) throw std::runtime_error("não foi possível ler " + m.file.path);
    left_ = m.size;
    crc_ = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
  } else if (stage_ == Stage::Descriptor) {
    Member& m = members_[current_];
    m.crc = crc_;
    Put32(pending_, 0x08074b50);
    Put32(pending_, m.crc);
    Put32(pending_, m.size);
    Put32(pending_, m.size);
  } else if (stage_ == Stage::Directory) {
    std::uint32_t directory = 0;
    for (const Member& m : members_) {
      const std::size_t before = pending_.size();
      Put32(pending_, 0x02014b50);
      Put16(pending_, 20);
      Put16(pending_, 20);
      Put16(pending_, kFlags);
      Put16(pending_, 0);
      Put16(pending_, 0);
      Put16(pending_, kFirstDosDate);
      Put32(pending_, m.crc);
      Put32(pending_, m.size);
      Put32(pending_, m.size);
      Put16(pending_, static_cast<std::uint32_t>(m.file.name.size()));
      Put16(pending_, 0);
      Put16(pending_, 0);
      Put16(pending_, 0);
      Put16(pending_, 0);
      Put32(pending_, 0);
      Put32(pending_, m.offset);
      pending_ += m.file.name;
      directory += static_cast<std::uint32_t>(pending_.size() - before);
    }
    Put32(pending_, 0x06054b50);
    Put16(pending_, 0);
    Put16(pending_, 0);
    Put16(pending_, static_cast<std::uint32_t>(members_.size()));
    Put16(pending_, static_cast<std::uint32_t>(members_.size()));
    Put32(pending_, directory);
    Put32(pending_, static_cast<std::uint32_t>(size_ - kEnd - directory));
    Put16(pending_, 0);
  }
}

std::size_t StoredZip::Next(char* out, std::size_t room) {
  while (true) {
    if (stage_ == Stage::Done || room == 0) return 0;
    if (stage_ == Stage::Data) {
      if (left_ == 0) {
        stage_ = Stage::Descriptor;
        Advance();
        continue;
      }
      in_.read(out, static_cast<std::streamsize>(std::min<std::size_t>(room, left_)));
      const auto read = static_cast<std::size_t>(in_.gcount());
      if (read == 0)
        throw std::runtime_error(members_[current_].file.path + " mudou de tamanho durante o envio");
      crc_ = static_cast<std::uint32_t>(
          crc32(crc_, reinterpret_cast<const Bytef*>(out), static_cast<uInt>(read)));
      left_ -= static_cast<std::uint32_t>(read);
      return read;
    }
    if (pending_at_ < pending_.size()) {
      const std::size_t n = std::min(room, pending_.size() - pending_at_);
      pending_.copy(out, n, pending_at_);
      pending_at_ += n;
      return n;
    }
    switch (stage_) {
      case Stage::Header: stage_ = Stage::Data; break;
      case Stage::Descriptor:
        ++current_;
        stage_ = Stage::Header;
        Advance();
        break;
      case Stage::Directory: stage_ = Stage::Done; break;
      default: break;
    }
  }
}

}  // namespace net
