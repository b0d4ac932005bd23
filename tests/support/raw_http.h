#pragma once
// A client that sends whatever bytes a test gives it, as a broken or hostile
// client would, and reads the server's answer off the socket.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>

class RawConnection {
 public:
  explicit RawConnection(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      if (fd_ >= 0) close(fd_);
      throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
  }
  ~RawConnection() {
    if (fd_ >= 0) close(fd_);
  }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // Sends what the server takes of the bytes; false once it no longer does.
  bool Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  struct Answer {
    int status = 0;  // 0: the connection closed (or the time ran out) without an answer
    std::string body;
    bool closed = false;  // the server closed the connection after the answer
  };
  // Reads one answer (Content-Length framed), waiting at most `limit`.
  Answer Read(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    Answer answer;
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
      const auto end = buffer_.find("\r\n\r\n");
      if (end != std::string::npos) {
        const auto length_at = buffer_.find("Content-Length: ");
        const std::size_t length = length_at != std::string::npos && length_at < end
                                       ? std::stoul(buffer_.substr(length_at + 16))
                                       : 0;
        if (buffer_.size() >= end + 4 + length) {
          answer.status = std::stoi(buffer_.substr(9, 3));
          answer.body = buffer_.substr(end + 4, length);
          answer.closed = buffer_.substr(0, end).find("Connection: close") != std::string::npos;
          buffer_.erase(0, end + 4 + length);
          return answer;
        }
      }
      if (!Receive(until)) return answer;
    }
  }
  // Whether the server closes the connection within `limit` (bytes it sends
  // meanwhile are kept for Read).
  bool ClosedWithin(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
      if (!Receive(until)) return eof_;
    }
    return eof_;
  }
  int fd() const { return fd_; }

 private:
  bool Receive(std::chrono::steady_clock::time_point until) {
    if (eof_) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[65536];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) {
      eof_ = true;
      return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }
  int fd_ = -1;
  bool eof_ = false;
  std::string buffer_;
};
