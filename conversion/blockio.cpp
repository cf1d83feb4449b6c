#include "conversion/blockio.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace {

// When both cores compute (the filter's two threads), the copying threads give way to them:
// they need a fraction of a core, and a computing thread that has to wait for one of them holds
// up the other at the end of every block; at a lower priority they run in the gaps instead.
// Best effort: the thread's priority only ever goes down, which needs no permission.
constexpr int kCopyingThreadNice = 5;

void GiveWayToComputing(bool giveWay)
{
    if (giveWay) (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kCopyingThreadNice);
}

int64_t UsableSets(const InputFiles &files, const ConversionSettings &settings, int64_t position, int64_t totalSets)
{
    const int64_t bytesPerSet = std::max(settings.bytesPerSet, 1);
    const int64_t end = files.inputSize - Settings_KnownLength(settings.trailerLength);
    return std::clamp<int64_t>(std::min(totalSets, (end - position) / bytesPerSet), 0, totalSets);
}

}  // namespace

ReadAhead::ReadAhead(const InputFiles &files, const ConversionSettings &settings, int64_t position,
                     int64_t totalSets, int blockSets, bool giveWay)
    : files_(files),
      bytesPerSet_(std::max(settings.bytesPerSet, 1)),
      readQ_(settings.separateFiles && settings.qValueIndex >= 0),
      blockSets_(std::max(blockSets, 1)),
      slotSets_(blockSets_ * static_cast<int>(std::max<int64_t>(1, kSlotBytes / (blockSets_ * bytesPerSet_)))),
      position_(position),
      totalSets_(UsableSets(files, settings, position, totalSets)),
      slotCount_((totalSets_ + slotSets_ - 1) / slotSets_)
{
    const size_t slotBytes = static_cast<size_t>(slotSets_ * bytesPerSet_);
    for (Slot &slot : slots_) slot.bytes.Grow(readQ_ ? 2 * slotBytes : slotBytes);
    for (int reader = 0; reader < kReaders; ++reader)
        threads_[reader] = std::thread([this, reader, giveWay] {
            GiveWayToComputing(giveWay);
            ReadLoop(reader);
        });
}

ReadAhead::~ReadAhead()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    for (std::condition_variable &freed : freed_) freed.notify_all();
    for (std::thread &thread : threads_) thread.join();
}

RawBlock ReadAhead::Next()
{
    if (current_ == nullptr || delivered_ == current_->sets.sets) {
        if (ended_) return RawBlock{};
        int64_t number;
        {
            std::unique_lock lock(mutex_);
            if (taken_ == slotCount_) return RawBlock{};
            const Slot &slot = slots_[taken_ % kSlots];
            filled_.wait(lock, [&] { return slot.number == taken_; });
            current_ = &slot;
            delivered_ = 0;
            number = taken_++;
        }
        // The slot before is free again: the buffer it may take next is read by one reader.
        freed_[(number + kSlots - 1) % kReaders].notify_one();
        // A buffer the file could not fill is the last one.
        if (current_->sets.sets < std::min<int64_t>(slotSets_, totalSets_ - number * slotSets_)) ended_ = true;
        if (current_->sets.sets == 0) return RawBlock{};
    }
    return NextOfCurrentSlot();
}

// The next block of the current slot: blocks of blockSets sets, in file order.
RawBlock ReadAhead::NextOfCurrentSlot()
{
    const RawBlock &all = current_->sets;
    const int sets = std::min(blockSets_, all.sets - delivered_);
    const int64_t skipped = delivered_ * bytesPerSet_;
    delivered_ += sets;
    return RawBlock{all.bytesI + skipped, all.bytesQ + skipped, sets};
}

// Reads buffer `number` of the input into the slot: as many of its sets as the file delivers.
RawBlock ReadAhead::ReadSlot(Slot &slot, int64_t number)
{
    const int64_t first = number * slotSets_;
    int64_t sets = std::min<int64_t>(slotSets_, totalSets_ - first);
    const int64_t at = position_ + first * bytesPerSet_;
    const int64_t bytes = sets * bytesPerSet_;
    char *bytesI = slot.bytes.data();
    char *bytesQ = readQ_ ? bytesI + slotSets_ * bytesPerSet_ : bytesI;
    const auto setsRead = [&](const FileHandle &handle, char *into) {
        return std::max<int64_t>(Parser_ReadAt(handle.get(), at, into, bytes), 0) / bytesPerSet_;
    };
    sets = std::min(sets, setsRead(files_.inputHandleI, bytesI));
    if (readQ_) sets = std::min(sets, setsRead(files_.inputHandleQ, bytesQ));
    return RawBlock{bytesI, bytesQ, static_cast<int>(sets)};
}

// Reader r reads buffers r, r + kReaders, r + 2 kReaders, ... each into its slot once the
// worker has handed that slot back.
void ReadAhead::ReadLoop(int reader)
{
    for (int64_t number = reader; number < slotCount_; number += kReaders) {
        Slot &slot = slots_[number % kSlots];
        {
            std::unique_lock lock(mutex_);
            // Every slot but the one the worker holds may be filled ahead.
            freed_[reader].wait(lock, [&] { return stop_ || number < taken_ + kSlots - 1; });
            if (stop_) return;
        }
        const RawBlock sets = ReadSlot(slot, number);
        {
            std::lock_guard lock(mutex_);
            slot.sets = sets;
            slot.number = number;
        }
        filled_.notify_one();  // only the worker waits for a filled slot
    }
}

namespace {

// `bytes` of memory mapped twice, the second copy right behind the first; null on failure.
char *MapRing(int64_t bytes)
{
    const FileHandle memory(memfd_create("quelvor-text", MFD_CLOEXEC));
    if (!memory.valid() || ftruncate(memory.get(), bytes) != 0) return nullptr;
    void *span = mmap(nullptr, static_cast<size_t>(2 * bytes), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (span == MAP_FAILED) return nullptr;
    char *ring = static_cast<char *>(span);
    for (char *copy : {ring, ring + bytes}) {
        if (mmap(copy, static_cast<size_t>(bytes), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, memory.get(), 0) ==
            MAP_FAILED) {
            munmap(ring, static_cast<size_t>(2 * bytes));
            return nullptr;
        }
    }
    return ring;
}

}  // namespace

TextReadAhead::TextReadAhead(const InputFiles &files, int64_t position, int64_t end, SetReaderScratch &scratch)
    : handle_(files.inputHandleI.get()),
      start_(position),
      end_(std::max(position, end)),
      scratch_(scratch),
      read_(position),
      released_(position)
{
    // A window, its NUL and padding, and the read being filled fit in the ring at once.
    static_assert(kTextWindowBytes + 1 + kTextScanPadding + kReadBytes <= kRingBytes);
    static_assert(kRingBytes % kReadBytes == 0);
    ring_ = MapRing(kRingBytes);
    if (ring_ == nullptr) return;
    windows_ = TextWindows{&TextReadAhead::Window, this};
    scratch_.textWindows = &windows_;
    thread_ = std::thread([this] { ReadLoop(); });
}

TextReadAhead::~TextReadAhead()
{
    if (ring_ == nullptr) return;
    scratch_.textWindows = nullptr;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    room_.notify_all();
    thread_.join();
    munmap(ring_, static_cast<size_t>(2 * kRingBytes));
}

const char *TextReadAhead::Window(void *context, int64_t position, int64_t size, int64_t *got)
{
    return static_cast<TextReadAhead *>(context)->Window(position, size, got);
}

const char *TextReadAhead::Window(int64_t position, int64_t size, int64_t *got)
{
    if (size < 0 || size > kTextWindowBytes) return nullptr;
    // The bytes of the window before are the file's again. The reader never writes there: that
    // byte lies after the released position and before the read one (or the reading is over).
    if (terminated_ >= 0) *At(terminated_) = covered_;
    terminated_ = -1;
    const int64_t needed = std::min(position + size + 1 + kTextScanPadding, end_);
    {
        std::unique_lock lock(mutex_);
        if (position < released_) return nullptr;  // behind the ring: read from the file
        released_ = position;
        room_.notify_one();
        readable_.wait(lock, [&] { return ended_ || read_ >= needed; });
        *got = std::clamp<int64_t>(read_ - position, 0, size);
    }
    // The window ends before what the reader may still write, or the reading is over.
    char *window = At(position);
    terminated_ = position + *got;
    covered_ = window[*got];
    window[*got] = '\0';
    return window;
}

// Reads the text in pieces of kReadBytes at whole multiples of them from the start, so that a
// read never runs over the end of the ring's first copy.
void TextReadAhead::ReadLoop()
{
    for (int64_t at = start_; at < end_;) {
        {
            std::unique_lock lock(mutex_);
            room_.wait(lock, [&] { return stop_ || at + kReadBytes <= released_ + kRingBytes; });
            if (stop_) return;
        }
        const int64_t wanted = std::min(kReadBytes, end_ - at);
        const int64_t got = std::max<int64_t>(Parser_ReadAt(handle_, at, At(at), wanted), 0);
        at += got;
        {
            std::lock_guard lock(mutex_);
            read_ = at;
            ended_ = got < wanted || at >= end_;
        }
        readable_.notify_one();
        if (got < wanted) return;
    }
    std::lock_guard lock(mutex_);
    ended_ = true;
    readable_.notify_one();
}

WriteBehind::WriteBehind(ZmxFile &file, bool giveWay) : file_(file)
{
    thread_ = std::thread([this, giveWay] {
        GiveWayToComputing(giveWay);
        WriteLoop();
    });
}

WriteBehind::~WriteBehind()
{
    (void)Finish();
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    queued_.notify_all();
    thread_.join();
}

int16_t *WriteBehind::Buffer(int pairs)
{
    pairs = std::max(pairs, 0);
    // A slot without room for the block is written as it is.
    if (filling_ && slots_[submitted_ % kSlots].count + int64_t{pairs} > kSlotPairs) QueueFilling();
    if (!filling_) {
        std::unique_lock lock(mutex_);
        written_.wait(lock, [this] { return submitted_ - done_ < kSlots; });
        slots_[submitted_ % kSlots].count = 0;
        filling_ = true;
    }
    // Only this thread touches the slot being filled: submitted_ changes here alone.
    Slot &slot = slots_[submitted_ % kSlots];
    const size_t values = 2 * (static_cast<size_t>(slot.count) + static_cast<size_t>(pairs));
    slot.pairs.Grow(std::max(values, 2 * static_cast<size_t>(kSlotPairs)), 2 * static_cast<size_t>(slot.count));
    return slot.pairs.data() + 2 * static_cast<size_t>(slot.count);
}

void WriteBehind::Submit(int pairs)
{
    slots_[submitted_ % kSlots].count += std::max(pairs, 0);
    if (slots_[submitted_ % kSlots].count >= kSlotPairs) QueueFilling();
}

// Hands the slot being filled to the writer.
void WriteBehind::QueueFilling()
{
    {
        std::lock_guard lock(mutex_);
        ++submitted_;
        filling_ = false;
    }
    queued_.notify_one();  // only the writer waits for a queued slot
}

bool WriteBehind::Failed()
{
    std::lock_guard lock(mutex_);
    return failed_;
}

int WriteBehind::Finish()
{
    if (filling_ && slots_[submitted_ % kSlots].count > 0) QueueFilling();
    filling_ = false;
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this] { return done_ == submitted_; });
    return failed_ ? 0 : 1;
}

void WriteBehind::WriteLoop()
{
    for (;;) {
        int64_t block;
        bool skip;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [this] { return stop_ || done_ < submitted_; });
            if (done_ == submitted_) return;  // stopped with nothing left to write
            block = done_;
            skip = failed_;
        }
        const Slot &slot = slots_[block % kSlots];
        const bool ok = skip || Conversion_WriteZmxEncoded(file_, slot.count, slot.pairs.data()) == 1;
        {
            std::lock_guard lock(mutex_);
            if (!ok) failed_ = true;
            ++done_;
        }
        written_.notify_one();  // only the caller waits for a written slot
    }
}
