#pragma once
// Read-ahead and write-behind for the conversion worker. While the worker decodes, measures and
// encodes one block, a reader thread reads the next blocks of a binary input and a writer
// thread appends the blocks already encoded to the output file: the copies between the page
// cache and the program run on the second core. Each keeps a fixed ring of buffers, so memory
// stays bounded whatever the input size. A buffer holds several blocks when blocks are small:
// waking a thread costs far more than copying a block on some machines (virtual ones above
// all), so each thread is woken once per buffer, not once per block.

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
    // next call; a buffer whose blocks are all delivered is handed back to the reader.
    RawBlock Next();

private:
    static constexpr int kSlots = 3;
    static constexpr int64_t kSlotBytes = int64_t{1} << 20;  // at least one block
    struct Slot {
        std::vector<char> bytes;  // I bytes, then the Q bytes of separate files
        RawBlock sets;            // all the sets the slot holds
    };
    void ReadLoop();
    int ReadSlot(Slot &slot);
    RawBlock NextOfCurrentSlot();

    const InputFiles &files_;
    const int64_t bytesPerSet_;
    const int64_t endPosition_;  // where the usable data ends
    const bool readQ_;
    const int blockSets_;
    const int slotSets_;         // a whole number of blocks
    int64_t position_;
    int64_t setsLeft_;

    // The worker's side, touched only by Next.
    const Slot *current_ = nullptr;  // the slot whose blocks are being delivered
    int delivered_ = 0;              // its sets delivered so far

    Slot slots_[kSlots];
    std::mutex mutex_;
    std::condition_variable changed_;
    int64_t filled_ = 0;    // slots read so far
    int64_t taken_ = 0;     // slots the worker has started on so far
    bool finished_ = false; // the reader filled its last slot
    bool stop_ = false;
    std::thread thread_;
};

// Appends encoded pairs to a .wv file on a writer thread. Between construction and Finish the
// file belongs to the writer: the caller touches it only through this object. Blocks are
// gathered in a buffer and written together once it is full (or at Finish).
class WriteBehind {
public:
    explicit WriteBehind(ZmxFile &file);
    ~WriteBehind();  // waits for the writes already submitted
    WriteBehind(const WriteBehind &) = delete;
    WriteBehind &operator=(const WriteBehind &) = delete;

    // Room for `pairs` encoded pairs (2 x pairs values), waiting for a free buffer if needed.
    int16_t *Buffer(int pairs);
    // The first `pairs` pairs of the room of the last Buffer call are the next block.
    void Submit(int pairs);
    // True once a write has failed; the writes after it are skipped.
    bool Failed();
    // Waits until every submitted block is written. Returns 1 when all were written, else 0.
    [[nodiscard]] int Finish();

private:
    static constexpr int kSlots = 3;
    static constexpr int kSlotPairs = 1 << 17;  // 2 MiB of pairs; one larger block still fits
    struct Slot {
        std::vector<int16_t> pairs;
        int count = 0;
    };
    void QueueFilling();
    void WriteLoop();

    ZmxFile &file_;
    Slot slots_[kSlots];
    bool filling_ = false;   // the caller is filling slot submitted_ % kSlots
    std::mutex mutex_;
    std::condition_variable changed_;
    int64_t submitted_ = 0;  // slots queued so far
    int64_t written_ = 0;    // slots the writer is done with
    bool failed_ = false;
    bool stop_ = false;
    std::thread thread_;
};
