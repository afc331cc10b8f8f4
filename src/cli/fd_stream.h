// An output stream over a file descriptor (a pipe to the parent process in
// a run over several units).
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

class TFdStreamBuf : public std::streambuf {
  public:
    explicit TFdStreamBuf(int Fd) : FFd(Fd) {}
    ~TFdStreamBuf() override { sync(); }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

  private:
    bool Flush();
    int FFd;
    std::string FPending;
};

class TFdStream : public std::ostream {
  public:
    explicit TFdStream(int Fd) : std::ostream(nullptr), FBuf(Fd) { rdbuf(&FBuf); }

  private:
    TFdStreamBuf FBuf;
};
