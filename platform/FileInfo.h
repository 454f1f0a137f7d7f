#pragma once
// What is at a path, and whether a file there could be read, replaced or
// made: for the headless program's messages, which name the path and the
// reason (FileInfoPosix.cpp on Linux, FileInfoWin32.cpp on Windows). Paths
// are the system's bytes on Linux and UTF-8 on Windows; a relative one is
// taken from the working directory. Error numbers are errno values (the
// Windows side gives the nearest one for the system's error). Any thread.
#include <string>

namespace platform {

enum class EPathKind {
    Absent,  // nothing there (a dangling link counts as absent)
    File,    // a plain file, or a link to one
    Folder,
    Other,   // a FIFO, a device, a socket
    Unknown  // the look failed for another reason: see m_nError
};

struct CPathInfo {
    EPathKind m_eKind = EPathKind::Unknown;
    int m_nError = 0;  // why the look failed (Unknown); else 0
};

// Follows links.
CPathInfo InspectPath(const std::string& strPath);

// 0 when the plain file at the path opens for reading (without blocking on
// a FIFO); else the error number (EACCES also for a file another program
// holds open for itself on Windows).
int ReadError(const std::string& strPath);

// True when the file at the path (links followed) may be read by its group
// or by anyone: its mode gives them read permission. False on Windows,
// where a file's access list is not judged here, and when nothing is there.
bool ReadableByOthers(const std::string& strPath);

// 0 when a file at the path could be replaced by a new one made beside it
// (the settings writer's way): its folder takes new files and an existing
// file may be written. Else the error number: EROFS for a read-only file
// system (or volume), EACCES for missing permission (also for a file that
// has no write permission bit at all or is marked read-only, which the
// writer treats as protected by its owner).
int ReplaceError(const std::string& strPath);

// Makes a new file with the text, readable and writable by its owner only.
// Never replaces anything: EEXIST when something is at the path already,
// a dangling link included. Made by root in a folder that belongs to
// another user (a service's state folder), the file is that user's. 0 on
// success; else the error number, and no file is left behind.
int CreateNewFile(const std::string& strPath, const std::string& strText);

// The path from the root: the working directory in front of a relative
// one (on Windows also the current drive's, with the system's separators
// and "." and ".." taken out, as every Windows call reads a path). Not
// resolved further (the file may not exist).
std::string AbsolutePath(const std::string& strPath);

// A path as one word of the system's usual command line, quoted when it
// needs to be: for a POSIX shell, or for cmd.exe on Windows.
std::string CommandWord(const std::string& strPath);

// The system's words for an error number ("Permission denied").
std::string ErrorText(int nError);

}  // namespace platform
