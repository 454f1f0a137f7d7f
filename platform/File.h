#pragma once
// Small files read whole and replaced whole (FilePosix.cpp on Linux,
// FileWin32.cpp on Windows). Paths are UTF-8; a relative one is taken from
// the working directory. Any thread; nothing is shared.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A plain file opened for reading. Opening never blocks, whatever is at
// the path (a FIFO, a device, a pipe): only a plain file opens.
class CFileReader {
public:
    CFileReader() = default;
    ~CFileReader();
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;

    // False when absent, unreadable, a folder or not a plain file.
    bool Open(const std::string& strPath);
    // Up to nCap bytes: the count, 0 at the end, -1 on a read error.
    int Read(char* pBuf, size_t nCap);
    void Close();

private:
    intptr_t m_nHandle = -1;
};

// Replaces the file's content with strText so that, whatever happens, the
// file holds either the old text or the whole new one: the text goes to a
// temporary file in the same folder, readable and writable by its owner
// only (where the file system keeps permissions), is flushed to disk and
// then takes the file's place. A link is written through: its target is
// replaced and the link stays. The file is rewritten in place instead
// (truncated, written, flushed), keeping its owner, mode and hard links,
// when the folder refuses the temporary file but the file may be written,
// and (on POSIX systems) when the file is another user's, whom a new file
// of ours would shut out. False, with an existing file unchanged and no
// temporary file left, when it cannot be done: refused besides what the
// system refuses are a file we may not write, one marked read-only, a
// dangling link and a path that is not a plain file.
bool ReplaceFileWhole(const std::string& strPath, const std::string& strText);

}  // namespace platform
