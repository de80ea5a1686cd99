#include "engine/TransferStream.h"

#include "engine/SocketErrors.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void TTransferStream::WriteFailed(int error) const {
    throw EStreamError(
        QStringLiteral("Error writing data. %1").arg(QString::fromLocal8Bit(std::strerror(error))));
}

void TTransferStream::ReadFailed(int error) const {
    throw EStreamError(
        QStringLiteral("Error reading data. %1").arg(QString::fromLocal8Bit(std::strerror(error))));
}

void TMemoryStream::Truncate(int64_t size) {
    Data.truncate(static_cast<qsizetype>(size));
    Position_ = std::min(Position_, size);
}

int64_t TMemoryStream::Read(char* data, int64_t maxLength) {
    const int64_t n = std::clamp<int64_t>(Data.size() - Position_, 0, maxLength);
    std::memcpy(data, Data.constData() + Position_, static_cast<size_t>(n));
    Position_ += n;
    return n;
}

void TMemoryStream::Write(const char* data, int64_t length) {
    const int64_t end = Position_ + length;
    if (end > Data.size()) Data.resize(static_cast<qsizetype>(end));
    std::memcpy(Data.data() + Position_, data, static_cast<size_t>(length));
    Position_ = end;
}

TFileStream::TFileStream(const QString& fileName, TFileMode mode) : FileName_(fileName) {
    const QByteArray name = QFile::encodeName(fileName);
    int flags = O_CLOEXEC;
    switch (mode) {
    case TFileMode::Create:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case TFileMode::OpenWrite:
        flags |= O_WRONLY | O_CREAT;
        break;
    case TFileMode::OpenRead:
        flags |= O_RDONLY;
        break;
    }
    Fd_ = ::open(name.constData(), flags, 0666);
    if (Fd_ < 0) Fail(mode == TFileMode::Create ? "Cannot create file" : "Cannot open file", errno);
}

TFileStream::~TFileStream() {
    Close();
}

void TFileStream::Close() {
    if (Fd_ >= 0) {
        ::close(Fd_);
        Fd_ = -1;
    }
}

void TFileStream::Fail(const char* what, int error) const {
    throw EStreamError(
        QStringLiteral("%1 \"%2\". %3")
            .arg(QLatin1String(what), FileName_, QString::fromLocal8Bit(std::strerror(error))));
}

int64_t TFileStream::Size() const {
    struct stat st {};
    if (::fstat(Fd_, &st) < 0) Fail("Cannot read the size of file", errno);
    return st.st_size;
}

void TFileStream::Seek(int64_t position) {
    if (::lseek(Fd_, position, SEEK_SET) < 0) Fail("Cannot seek in file", errno);
    Position_ = position;
}

void TFileStream::Truncate(int64_t size) {
    if (::ftruncate(Fd_, size) < 0) Fail("Cannot truncate file", errno);
    if (Position_ > size) Seek(size);
}

int64_t TFileStream::Read(char* data, int64_t maxLength) {
    for (;;) {
        const ssize_t n = ::read(Fd_, data, static_cast<size_t>(maxLength));
        if (n >= 0) {
            Position_ += n;
            return n;
        }
        if (errno != EINTR) Fail("Error reading file", errno);
    }
}

void TFileStream::Write(const char* data, int64_t length) {
    while (length > 0) {
        const ssize_t n = ::write(Fd_, data, static_cast<size_t>(length));
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail("Error writing file", errno);
        }
        if (n == 0) Fail("Error writing file", ENOSPC);
        Position_ += n;
        data += n;
        length -= n;
    }
}
