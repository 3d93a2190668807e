// CUndoFile: the undo manager's temporary file. Made with mkstemp as
// "pxmXXXXXX" in the temporary folder and held under an exclusive flock for
// its whole life, so a second running program never takes it for a stale
// file. No operation throws; failures come back as false / -1 / short counts.
//
// Writes are gathered in a buffer and reads are served from a read-ahead
// buffer, so the many small records of an edit cost few system calls. The
// file holds the same bytes at the same offsets as if every call went
// straight to it: pending writes are flushed before any seek, length,
// truncation or read. A flush that fails (a full disk) keeps the bytes the
// file refused in memory, and so do the writes after it: reads give every
// byte back as written, but Flush reports the loss until the file is cut
// back to where the disk failed. So the step whose bytes did not reach the
// disk can still be taken back exactly, and then cut away.
//
// A store made with CreateInMemory keeps the same bytes in memory instead,
// with no file at all (the colour preview's store). It is checked the same
// way: a write that cannot be held writes nothing and loses the store from
// there, and Reserve makes room beforehand so a step's writes cannot fail.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

class CUndoFile {
public:
    CUndoFile() = default;
    ~CUndoFile();
    CUndoFile(const CUndoFile&) = delete;
    CUndoFile& operator=(const CUndoFile&) = delete;

    // Deletes the stale undo files in `folder` (regular files of this user
    // named like ours that no running program holds locked), then creates,
    // locks and opens a new one there.
    bool Create(const QString& folder);
    // Opens an empty in-memory store (closing a file first).
    void CreateInMemory();
    // Closes and deletes the file, or frees the memory store.
    void CloseAndRemove();
    bool IsOpen() const { return m_fd >= 0 || m_inMemory; }
    bool IsInMemory() const { return m_inMemory; }
    // Makes room for `bytes` more bytes after the current position, so
    // writes up to there cannot fail; false when memory runs out. A file
    // grows as it is written: true while it is open.
    bool Reserve(int64_t bytes);
    QString GetFilePath() const { return m_path; }

    // Writes all `bytes` at the current position and moves past them.
    bool Write(const void* data, int64_t bytes);
    // Reads up to `bytes` from the current position; the count actually read
    // (short at the end of the file), -1 on an error.
    int64_t Read(void* data, int64_t bytes);
    int64_t GetPosition() const { return m_pos; }
    bool Seek(int64_t position);
    bool SeekToEnd();
    int64_t GetLength() const;
    bool SetLength(int64_t length);
    // Writes pending bytes to the file; false when some written byte is not
    // in the file (held in memory, or lost when memory ran out too).
    bool Flush() const;

    // Deletes every stale undo file in `folder`; returns how many it deleted.
    static int DeleteStaleFiles(const QString& folder);
    // True for names of the form pxm + six letters or digits (mkstemp's).
    static bool IsUndoFileName(const QString& name);

private:
    static constexpr int64_t kBufferBytes = 256 * 1024;

    void DropBuffers();
    bool WriteMemory(const char* data, int64_t bytes);
    int64_t ReadDirect(char* data, int64_t bytes, int64_t at) const;
    // Holds `bytes` that belong at `at` (at or after m_lostFrom) in m_held;
    // false when memory runs out.
    bool Hold(const char* data, int64_t bytes, int64_t at) const;
    // Marks the file lost from `at` on and holds the bytes refused there.
    bool LoseFrom(const char* data, int64_t bytes, int64_t at) const;

    int m_fd = -1;
    int64_t m_pos = 0;
    QString m_path;
    // Pending writes: the first m_writeLen bytes of m_writeBuf belong at
    // m_writeStart on.
    mutable std::vector<char> m_writeBuf;
    mutable int64_t m_writeStart = 0;
    mutable int64_t m_writeLen = 0;
    // Read-ahead: m_readBuf holds the file's bytes from m_readStart on.
    mutable std::vector<char> m_readBuf;
    mutable int64_t m_readStart = 0;
    // Where a failed flush (or memory write) lost the tail; -1 when none did.
    mutable int64_t m_lostFrom = -1;
    // A file's bytes from m_lostFrom on, held in memory; m_heldBroken once
    // even that failed (reads then stop at the end of m_held).
    mutable std::vector<char> m_held;
    mutable bool m_heldBroken = false;
    // The in-memory store: its bytes are m_memory, and m_fd stays -1.
    bool m_inMemory = false;
    std::vector<char> m_memory;
};
