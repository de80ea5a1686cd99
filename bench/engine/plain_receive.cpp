// plain-receive PORT REMOTEPATH LOCALFILE
// Anonymous passive binary download from 127.0.0.1:PORT with nothing but blocking
// 256 KiB reads written to the file: the rate a receive loop can reach at all.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int ConnectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    return fd;
}

// One final reply line (multi-line replies end with "NNN ").
std::string Reply(int fd) {
    std::string line;
    for (;;) {
        char c = 0;
        if (::recv(fd, &c, 1, 0) != 1) {
            std::fprintf(stderr, "control connection closed\n");
            std::exit(1);
        }
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line.size() >= 4 && line[3] == ' ') return line;
        line.clear();
    }
}

std::string Command(int fd, const std::string& text) {
    const std::string line = text + "\r\n";
    if (::send(fd, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size())) std::exit(1);
    return Reply(fd);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: plain-receive PORT REMOTEPATH LOCALFILE\n");
        return 2;
    }
    const int control = ConnectTo(std::atoi(argv[1]));
    Reply(control);
    Command(control, "USER anonymous");
    Command(control, "PASS bench@");
    Command(control, "TYPE I");
    const std::string pasv = Command(control, "PASV");
    unsigned h1, h2, h3, h4, p1, p2;
    const char* open = std::strchr(pasv.c_str(), '(');
    if (open == nullptr ||
        std::sscanf(open, "(%u,%u,%u,%u,%u,%u)", &h1, &h2, &h3, &h4, &p1, &p2) != 6)
        return 1;
    const int data = ConnectTo(static_cast<int>(p1 * 256 + p2));
    if (Command(control, std::string("RETR ") + argv[2])[0] != '1') return 1;
    const int file = ::open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> buffer(256 * 1024);
    long long total = 0;
    for (;;) {
        const ssize_t n = ::recv(data, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        if (::write(file, buffer.data(), static_cast<size_t>(n)) != n) return 1;
        total += n;
    }
    ::close(file);
    ::close(data);
    const bool ok = Reply(control)[0] == '2';
    Command(control, "QUIT");
    std::fprintf(stderr, "%lld bytes\n", total);
    return ok ? 0 : 1;
}
