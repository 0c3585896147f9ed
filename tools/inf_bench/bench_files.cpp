#include "bench_files.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace inf_bench {

namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

FilePtr Open(const std::string& path, const char* mode) {
  FilePtr file(std::fopen(path.c_str(), mode), &std::fclose);
  if (!file) throw std::runtime_error("cannot open " + path);
  return file;
}

// Lines of a miniport INF. Several start with the search text's first letter
// or hold "IRMINI" without ".sys", so the scanner meets many failed
// candidates, as it does in the real files.
const char* const kFiller[] = {
    "[IRMINI_Install]\r\n",
    "CopyFiles=IRMINI.CopyFiles\r\n",
    "AddReg=IRMINI_AddReg, IRMINI_NonPnP_AddReg, IRMINI.reg\r\n",
    "HKR,Ndi,DeviceID,,IRMINI\r\n",
    "HKR,,AdapterName,0,IRMINI\r\n",
    "HKR,NDIS,LogDriverName,0,IRMINI\r\n",
    "HKR,Ndi\\Install,,0,IRMINI\r\n",
    "HKR,Ndi\\params\\InfraredTransceiverType,type,,enum\r\n",
    "HKR,Ndi\\params\\InfraredTransceiverType\\enum,\"0\",,\"Standard\"\r\n",
    "; irmini.inf: infrared miniport, generic serial port transceivers\r\n",
    "IrDA_Speed=115200,57600,38400,19200,9600\r\n",
    "\r\n",
};
const char* const kOccurrence[] = {
    "IRMINI.SYS,,,2\r\n",
    "DeviceVxDs=irmini.sys\r\n",
    "HKR,NDIS,DriverName,0,IrMiNi.SyS\r\n",
    "irmini.Sys=1,,8710\r\n",
};

}  // namespace

void GenerateInfText(const std::string& path, std::uint64_t bytes) {
  FilePtr out = Open(path, "wb");
  std::string block;
  std::uint64_t written = 0;
  std::uint32_t state = 20261208;  // fixed seed: the same file every time
  std::size_t sinceOccurrence = 0;
  int occurrence = 0;
  while (written < bytes) {
    block.clear();
    while (block.size() < 64 * 1024) {
      const char* line;
      if (sinceOccurrence >= 1000) {
        line = kOccurrence[occurrence++ % 4];
        sinceOccurrence = 0;
      } else {
        state = state * 1103515245u + 12345u;
        line = kFiller[(state >> 16) % (sizeof kFiller / sizeof kFiller[0])];
      }
      block += line;
      sinceOccurrence += std::strlen(line);
    }
    std::size_t take = block.size();
    if (take > bytes - written) take = static_cast<std::size_t>(bytes - written);
    if (std::fwrite(block.data(), 1, take, out.get()) != take)
      throw std::runtime_error("cannot write " + path);
    written += take;
  }
  if (std::fflush(out.get()) != 0) throw std::runtime_error("cannot write " + path);
}

void CopyHostFile(const std::string& from, const std::string& to) {
  FilePtr in = Open(from, "rb");
  FilePtr out = Open(to, "wb");
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    std::size_t got = std::fread(buffer.data(), 1, buffer.size(), in.get());
    if (got == 0) break;
    if (std::fwrite(buffer.data(), 1, got, out.get()) != got)
      throw std::runtime_error("cannot write " + to);
  }
  if (std::ferror(in.get()) || std::fflush(out.get()) != 0)
    throw std::runtime_error("cannot copy " + from);
}

bool SameContent(const std::string& a, const std::string& b) {
  FilePtr fa = Open(a, "rb");
  FilePtr fb = Open(b, "rb");
  std::vector<char> ba(256 * 1024), bb(256 * 1024);
  for (;;) {
    std::size_t na = std::fread(ba.data(), 1, ba.size(), fa.get());
    std::size_t nb = std::fread(bb.data(), 1, bb.size(), fb.get());
    if (na != nb || std::memcmp(ba.data(), bb.data(), na) != 0) return false;
    if (na == 0) return true;
  }
}

}  // namespace inf_bench
