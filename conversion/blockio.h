#pragma once
// Read-ahead and write-behind for the conversion worker. While the worker decodes, measures and
// encodes one block, a reader thread reads the next blocks of a binary input and a writer
// thread appends the blocks already encoded to the output file: the copies between the page
// cache and the program run on the second core. Each keeps a fixed ring of buffers, so memory
// stays bounded whatever the input size. A buffer holds several blocks when blocks are small:
// waking a thread costs far more than copying a block on some machines (virtual ones above
// all), so each thread is woken once per buffer, not once per block.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "configuration/settings.h"
#include "conversion/wvwriter.h"
#include "parser/inputfiles.h"
#include "parser/setreader.h"

// A buffer whose elements are not cleared when it is made or grown: every element is written
// before it is read, and clearing megabytes costs a page fault per page before any real work.
template <typename T>
class UnclearedBuffer {
public:
    T *data() { return elements_.get(); }
    const T *data() const { return elements_.get(); }
    std::size_t size() const { return size_; }
    // At least `size` elements, keeping the first `kept` ones.
    void Grow(std::size_t size, std::size_t kept = 0)
    {
        if (size <= size_) return;
        std::unique_ptr<T[]> grown(new T[size]);
        std::copy(elements_.get(), elements_.get() + std::min(kept, size_), grown.get());
        elements_ = std::move(grown);
        size_ = size;
    }

private:
    std::unique_ptr<T[]> elements_;
    std::size_t size_ = 0;
};

// A block as the reader delivered it: the raw bytes of `sets` consecutive sets.
struct RawBlock {
    const char *bytesI = nullptr;  // the combined file or the I file
    const char *bytesQ = nullptr;  // the Q file of separate files, else bytesI
    int sets = 0;                  // 0: nothing more could be read
};

// Reads the sets of a binary input from `position` on, in blocks of at most blockSets sets, up
// to `totalSets` sets, as Parser_GetSetsFromFile would read them: a block is bounded by the
// usable size and by what the file delivers (a file that shrank ends the reading early).
// Two reader threads fill the buffers in turn: copying out of the page cache is most of the
// work of a measuring pass, and one thread alone would leave the worker waiting.
class ReadAhead {
public:
    // giveWay: the reading threads run at a lower priority than the computing ones (see
    // conversion/blockio.cpp); for work that keeps both cores busy computing.
    ReadAhead(const InputFiles &files, const ConversionSettings &settings, int64_t position, int64_t totalSets,
              int blockSets, bool giveWay = false);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // The next block in file order, waiting for it if needed. Its bytes stay valid until the
    // next call; a buffer whose blocks are all delivered is handed back to the readers.
    RawBlock Next();

private:
    static constexpr int kReaders = 2;
    static constexpr int kSlots = 4;
    static constexpr int64_t kSlotBytes = int64_t{1} << 20;  // at least one block
    struct Slot {
        UnclearedBuffer<char> bytes;  // I bytes, then the Q bytes of separate files
        RawBlock sets;            // all the sets the slot holds
        int64_t number = -1;      // which buffer of the input it holds; -1 while none
    };
    void ReadLoop(int reader);
    RawBlock ReadSlot(Slot &slot, int64_t number);
    RawBlock NextOfCurrentSlot();

    const InputFiles &files_;
    const int64_t bytesPerSet_;
    const bool readQ_;
    const int blockSets_;
    const int slotSets_;         // a whole number of blocks
    const int64_t position_;     // of the first set
    const int64_t totalSets_;    // what the interval and the usable size allow
    const int64_t slotCount_;    // buffers needed for them

    // The worker's side, touched only by Next.
    const Slot *current_ = nullptr;  // the slot whose blocks are being delivered
    int delivered_ = 0;              // its sets delivered so far
    bool ended_ = false;             // a short buffer (the file shrank) was the last

    Slot slots_[kSlots];
    std::mutex mutex_;
    // Separate signals for the two directions, so that a wake-up reaches only a thread that
    // waits for it (each one costs a system call, and on virtual machines far more).
    std::condition_variable filled_;            // a reader filled a slot: the worker may go on
    std::condition_variable freed_[kReaders];   // the worker handed back the slot this reader needs
    int64_t taken_ = 0;     // buffers the worker has started on so far
    bool stop_ = false;
    std::thread threads_[kReaders];
};

// Reads the text of a combined input file from `position` up to `end` on a thread of its own,
// ahead of the parsing, so that the copies out of the page cache run on the second core. While
// it runs, the reading of `scratch` takes its text from here (see TextWindows). The text goes
// into a ring mapped twice in a row in memory, so every window of it is contiguous however it
// wraps; memory stays bounded whatever the input size. Where the ring cannot be set up, the
// parsing reads the file itself.
class TextReadAhead {
public:
    TextReadAhead(const InputFiles &files, int64_t position, int64_t end, SetReaderScratch &scratch);
    ~TextReadAhead();
    TextReadAhead(const TextReadAhead &) = delete;
    TextReadAhead &operator=(const TextReadAhead &) = delete;

private:
    static constexpr int64_t kReadBytes = int64_t{1} << 18;
    static constexpr int64_t kRingBytes = int64_t{1} << 22;  // a whole number of reads
    static const char *Window(void *context, int64_t position, int64_t size, int64_t *got);
    const char *Window(int64_t position, int64_t size, int64_t *got);
    char *At(int64_t position) { return ring_ + (position - start_) % kRingBytes; }
    void ReadLoop();

    const int handle_;
    const int64_t start_;
    const int64_t end_;
    SetReaderScratch &scratch_;
    TextWindows windows_;
    char *ring_ = nullptr;  // kRingBytes, mapped again right behind
    // The byte under the NUL that ends the window last given, put back at the next call.
    int64_t terminated_ = -1;
    char covered_ = 0;

    std::mutex mutex_;
    std::condition_variable readable_;  // the reader read more: the parsing may go on
    std::condition_variable room_;      // the parsing moved on: the reader may fill more
    int64_t read_;           // the text is read up to here
    int64_t released_;       // the parsing needs nothing before here any more
    bool ended_ = false;     // the reading is over (the end, or a file that shrank)
    bool stop_ = false;
    std::thread thread_;
};

// Appends encoded pairs to a .wv file on a writer thread. Between construction and Finish the
// file belongs to the writer: the caller touches it only through this object. Blocks are
// gathered in a buffer and written together once it is full (or at Finish).
class WriteBehind {
public:
    explicit WriteBehind(ZmxFile &file, bool giveWay = false);
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
    static constexpr int kSlotPairs = 1 << 18;  // 1 MiB of pairs; one larger block still fits
    struct Slot {
        UnclearedBuffer<int16_t> pairs;
        int count = 0;
    };
    void QueueFilling();
    void WriteLoop();

    ZmxFile &file_;
    Slot slots_[kSlots];
    bool filling_ = false;   // the caller is filling slot submitted_ % kSlots
    std::mutex mutex_;
    std::condition_variable queued_;   // a slot was queued: the writer may go on
    std::condition_variable written_;  // a slot was written: the caller may fill it again
    int64_t submitted_ = 0;  // slots queued so far
    int64_t done_ = 0;       // slots the writer is done with
    bool failed_ = false;
    bool stop_ = false;
    std::thread thread_;
};
