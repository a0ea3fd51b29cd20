#include "formats/zip_archive.h"

#include <unzip.h>

#include <cstring>
#include <vector>

#include "formats/price_file.h"

namespace tavrin {

namespace {

// minizip's file functions over a buffer in memory: the "file name" handed
// to unzOpen2_64 is the stream itself.
using MemoryFile = ZipArchive::Stream;

voidpf ZCALLBACK memOpen(voidpf, const void* filename, int) {
  auto* m = static_cast<MemoryFile*>(const_cast<void*>(filename));
  m->pos = 0;
  return m;
}

uLong ZCALLBACK memRead(voidpf, voidpf stream, void* buf, uLong size) {
  auto* m = static_cast<MemoryFile*>(stream);
  const std::uint64_t total = m->bytes.size();
  if (m->pos >= total) return 0;
  const std::uint64_t n = std::min<std::uint64_t>(size, total - m->pos);
  std::memcpy(buf, m->bytes.data() + m->pos, static_cast<std::size_t>(n));
  m->pos += n;
  return static_cast<uLong>(n);
}

uLong ZCALLBACK memWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK memTell(voidpf, voidpf stream) { return static_cast<MemoryFile*>(stream)->pos; }

long ZCALLBACK memSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* m = static_cast<MemoryFile*>(stream);
  const std::uint64_t total = m->bytes.size();
  std::uint64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = m->pos; break;
    case ZLIB_FILEFUNC_SEEK_END: base = total; break;
    default: return -1;
  }
  if (offset > total || base > total - offset) return -1;
  m->pos = base + offset;
  return 0;
}

int ZCALLBACK memClose(voidpf, voidpf) { return 0; }
int ZCALLBACK memError(voidpf, voidpf) { return 0; }

}  // namespace

ZipArchive::ZipArchive(std::string bytes) {
  stream_.bytes = std::move(bytes);
  zlib_filefunc64_def funcs{};
  funcs.zopen64_file = memOpen;
  funcs.zread_file = memRead;
  funcs.zwrite_file = memWrite;
  funcs.ztell64_file = memTell;
  funcs.zseek64_file = memSeek;
  funcs.zclose_file = memClose;
  funcs.zerror_file = memError;
  unz_ = unzOpen2_64(&stream_, &funcs);
  if (!unz_) throw FormatError::damaged("not a readable zip container");
  try {
    listEntries();
  } catch (...) {
    unzClose(unz_);
    unz_ = nullptr;
    throw;
  }
}

void ZipArchive::listEntries() {
  unz_global_info64 info{};
  if (unzGetGlobalInfo64(unz_, &info) != UNZ_OK) throw FormatError::damaged("damaged zip directory");
  if (info.number_entry > kMaxEntries) throw FormatError::damaged("too many entries in the zip container");
  int rc = unzGoToFirstFile(unz_);
  std::size_t count = 0;
  while (rc == UNZ_OK) {
    if (++count > kMaxEntries) throw FormatError::damaged("too many entries in the zip container");
    unz_file_info64 fi{};
    char name[512];
    if (unzGetCurrentFileInfo64(unz_, &fi, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
      throw FormatError::damaged("damaged zip directory");
    if (fi.size_filename < sizeof name) {
      unz64_file_pos pos{};
      if (unzGetFilePos64(unz_, &pos) != UNZ_OK) throw FormatError::damaged("damaged zip directory");
      entries_.emplace(std::string(name, fi.size_filename), Position{pos.pos_in_zip_directory, pos.num_of_file});
    }
    rc = unzGoToNextFile(unz_);
  }
  if (rc != UNZ_END_OF_LIST_OF_FILE) throw FormatError::damaged("damaged zip directory");
}

ZipArchive::~ZipArchive() {
  if (unz_) unzClose(unz_);
}

void ZipArchive::read(const std::string& name, const std::function<bool(const char*, std::size_t)>& sink,
                      std::size_t maxBytes) const {
  auto it = entries_.find(name);
  if (it == entries_.end()) throw FormatError::damaged("no " + name + " in the zip container");
  unz64_file_pos pos{it->second.directoryPos, it->second.fileNumber};
  if (unzGoToFilePos64(unz_, &pos) != UNZ_OK) throw FormatError::damaged("damaged zip entry " + name);
  unz_file_info64 fi{};
  if (unzGetCurrentFileInfo64(unz_, &fi, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
    throw FormatError::damaged("damaged zip entry " + name);
  if (fi.flag & 1) throw FormatError::damaged("encrypted zip entry " + name);
  if (fi.compression_method != 0 && fi.compression_method != Z_DEFLATED)
    throw FormatError::damaged("unsupported compression in zip entry " + name);
  if (unzOpenCurrentFile(unz_) != UNZ_OK) throw FormatError::damaged("damaged zip entry " + name);
  std::vector<char> buf(64 * 1024);
  std::size_t total = 0;
  bool stopped = false;
  for (;;) {
    const int n = unzReadCurrentFile(unz_, buf.data(), static_cast<unsigned>(buf.size()));
    if (n < 0) {
      unzCloseCurrentFile(unz_);
      throw FormatError::damaged("damaged zip entry " + name);
    }
    if (n == 0) break;
    total += static_cast<std::size_t>(n);
    if (total > maxBytes) {
      unzCloseCurrentFile(unz_);
      throw FormatError::damaged("zip entry " + name + " is larger than a price file can be");
    }
    bool more = false;
    try {
      more = sink(buf.data(), static_cast<std::size_t>(n));
    } catch (...) {
      unzCloseCurrentFile(unz_);
      throw;
    }
    if (!more) {
      stopped = true;
      break;
    }
  }
  const int rc = unzCloseCurrentFile(unz_);
  if (!stopped && rc == UNZ_CRCERROR) throw FormatError::damaged("damaged zip entry " + name + " (checksum)");
}

std::string ZipArchive::readAll(const std::string& name, std::size_t maxBytes) const {
  std::string out;
  read(
      name,
      [&out](const char* p, std::size_t n) {
        out.append(p, n);
        return true;
      },
      maxBytes);
  return out;
}

}  // namespace tavrin
