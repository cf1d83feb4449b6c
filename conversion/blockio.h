#pragma once
// Read-ahead and write-behind for the conversion worker. While the worker decodes, measures and
// encodes one block, a reader thread reads the next blocks of a binary input and a writer
// thread appends the blocks already encoded to the output file: the copies between the page
// cache and the program run on the second core. Each keeps a fixed ring of buffers, so memory
// stays bounded whatever the input size.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "configuration/settings.h"
#include "conversion/wvwriter.h"
#include "parser/inputfiles.h"

// A block as the reader delivered it: the raw bytes of `sets` consecutive sets.
struct RawBlock {
    const char *bytesI = nullptr;  // the combined file or the I file
    const char *bytesQ = nullptr;  // the Q file of separate files, else bytesI
    int sets = 0;                  // 0: nothing more could be read
};

// Reads the sets of a binary input from `position` on, in blocks of at most blockSets sets, up
// to `totalSets` sets, as Parser_GetSetsFromFile would read them: a block is bounded by the
// usable size and by what the file delivers (a file that shrank ends the reading early).
class ReadAhead {
public:
    ReadAhead(const InputFiles &files, const ConversionSettings &settings, int64_t position, int64_t totalSets,
              int blockSets);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // The next block in file order, waiting for it if needed. Its bytes stay valid until the
    // next call; the buffer of the block before is handed back to the reader.
    RawBlock Next();

private:
    static constexpr int kSlots = 3;
    struct Slot {
        std::vector<char> bytes;  // I bytes, then the Q bytes of separate files
        RawBlock block;
    };
    void ReadLoop();
    int ReadBlock(Slot &slot);

    const InputFiles &files_;
    const int64_t bytesPerSet_;
    const int64_t endPosition_;  // where the usable data ends
    const bool readQ_;
    const int blockSets_;
    int64_t position_;
    int64_t setsLeft_;

    Slot slots_[kSlots];
    std::mutex mutex_;
    std::condition_variable changed_;
    int64_t filled_ = 0;    // blocks read so far
    int64_t taken_ = 0;     // blocks handed to the worker so far
    bool finished_ = false; // the reader delivered its last block
    bool stop_ = false;
    std::thread thread_;
};

// Appends encoded pairs to a .wv file on a writer thread. Between construction and Finish the
// file belongs to the writer: the caller touches it only through this object.
class WriteBehind {
public:
    explicit WriteBehind(ZmxFile &file);
    ~WriteBehind();  // waits for the writes already submitted
    WriteBehind(const WriteBehind &) = delete;
    WriteBehind &operator=(const WriteBehind &) = delete;

    // A free buffer for `pairs` encoded pairs (2 x pairs values), waiting for one if needed.
    int16_t *Buffer(int pairs);
    // Queues the buffer of the last Buffer call with its first `pairs` pairs for writing.
    void Submit(int pairs);
    // False once a write has failed; the writes after it are skipped.
    bool Failed();
    // Waits until every submitted block is written. Returns 1 when all were written, else 0.
    [[nodiscard]] int Finish();

private:
    static constexpr int kSlots = 3;
    struct Slot {
        std::vector<int16_t> pairs;
        int count = 0;
    };
    void WriteLoop();

    ZmxFile &file_;
    Slot slots_[kSlots];
    std::mutex mutex_;
    std::condition_variable changed_;
    int64_t submitted_ = 0;  // blocks queued so far
    int64_t written_ = 0;    // blocks the writer is done with
    bool failed_ = false;
    bool stop_ = false;
    std::thread thread_;
};
