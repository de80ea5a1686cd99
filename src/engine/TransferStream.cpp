#include "engine/TransferStream.h"

#include "engine/SocketErrors.h"

#include <QFile>
#include <QFileInfo>

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

TFileStream::TFileStream(const QString& fileName, TFileMode mode)
    : FileName_(fileName), Mode_(mode) {
    const QByteArray name = QFile::encodeName(fileName);
    if (mode == TFileMode::Create) {
        // A refused download must leave an existing file as it was: the file is only
        // emptied in Begin. Whether it can be written is known now, before asking.
        const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
        const bool exists = ::access(name.constData(), F_OK) == 0;
        if (::access(exists ? name.constData() : folder.constData(), W_OK) != 0)
            Fail("Cannot create file", errno);
        return;
    }
    const int flags = O_CLOEXEC | (mode == TFileMode::OpenWrite ? O_WRONLY | O_CREAT : O_RDONLY);
    Fd_ = ::open(name.constData(), flags, 0666);
    if (Fd_ < 0) Fail("Cannot open file", errno);
}

void TFileStream::Begin() {
    if (Fd_ >= 0 || Mode_ != TFileMode::Create) return;
    Fd_ = ::open(QFile::encodeName(FileName_).constData(), O_CLOEXEC | O_WRONLY | O_CREAT | O_TRUNC,
                 0666);
    if (Fd_ < 0) Fail("Cannot create file", errno);
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
