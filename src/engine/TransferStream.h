#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// What a data connection reads from or writes to: a local file or, for listings,
// memory. Positions and sizes are 64-bit. Failures raise EStreamError.
class TTransferStream {
public:
    virtual ~TTransferStream() = default;
    virtual int64_t Position() const = 0;
    virtual int64_t Size() const = 0;
    virtual void Seek(int64_t position) = 0;
    // Cuts the stream at the position (used when a resume is refused).
    virtual void Truncate(int64_t size) = 0;
    // The server has accepted the transfer: a new download may now replace the file.
    virtual void Begin() {}
    // Bytes read, 0 at the end.
    virtual int64_t Read(char* data, int64_t maxLength) = 0;
    virtual void Write(const char* data, int64_t length) = 0;
    virtual bool IsFile() const { return false; }
    // The descriptor of a local file, for kernel-side copies; -1 for memory.
    virtual int Handle() const { return -1; }
    // Records bytes written or read through Handle() at the current position.
    virtual void Moved(int64_t length) { (void)length; }
    // Raise the stream's error for a failed write or read through Handle().
    [[noreturn]] virtual void WriteFailed(int error) const;
    [[noreturn]] virtual void ReadFailed(int error) const;
};

class TMemoryStream : public TTransferStream {
public:
    int64_t Position() const override { return Position_; }
    int64_t Size() const override { return Data.size(); }
    void Seek(int64_t position) override { Position_ = position; }
    void Truncate(int64_t size) override;
    int64_t Read(char* data, int64_t maxLength) override;
    void Write(const char* data, int64_t length) override;

    QByteArray Data;

private:
    int64_t Position_ = 0;
};

enum class TFileMode {
    Create,    // a new download: an existing file is emptied, once the server sends it
    OpenWrite, // a resumed download: kept as it is (made when missing)
    OpenRead,  // an upload
};

// A local file on a plain descriptor: written bytes go straight to the system, so
// what arrived before a failure stays in the file for a later resume.
class TFileStream : public TTransferStream {
public:
    TFileStream(const QString& fileName, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Position() const override { return Position_; }
    int64_t Size() const override;
    void Seek(int64_t position) override;
    void Truncate(int64_t size) override;
    void Begin() override;
    int64_t Read(char* data, int64_t maxLength) override;
    void Write(const char* data, int64_t length) override;
    bool IsFile() const override { return true; }
    int Handle() const override { return Fd_; }
    void Moved(int64_t length) override { Position_ += length; }
    [[noreturn]] void WriteFailed(int error) const override { Fail("Error writing file", error); }
    [[noreturn]] void ReadFailed(int error) const override { Fail("Error reading file", error); }
    void Close();

private:
    [[noreturn]] void Fail(const char* what, int error) const;

    QString FileName_;
    TFileMode Mode_;
    int Fd_ = -1;
    int64_t Position_ = 0;
};
