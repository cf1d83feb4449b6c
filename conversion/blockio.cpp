#include "conversion/blockio.h"

#include <algorithm>

ReadAhead::ReadAhead(const InputFiles &files, const ConversionSettings &settings, int64_t position,
                     int64_t totalSets, int blockSets)
    : files_(files),
      bytesPerSet_(std::max(settings.bytesPerSet, 1)),
      endPosition_(files.inputSize - Settings_KnownLength(settings.trailerLength)),
      readQ_(settings.separateFiles && settings.qValueIndex >= 0),
      blockSets_(std::max(blockSets, 1)),
      slotSets_(blockSets_ * static_cast<int>(std::max<int64_t>(1, kSlotBytes / (blockSets_ * bytesPerSet_)))),
      position_(position),
      setsLeft_(totalSets)
{
    const size_t slotBytes = static_cast<size_t>(slotSets_ * bytesPerSet_);
    for (Slot &slot : slots_) slot.bytes.resize(readQ_ ? 2 * slotBytes : slotBytes);
    thread_ = std::thread([this] { ReadLoop(); });
}

ReadAhead::~ReadAhead()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

RawBlock ReadAhead::Next()
{
    if (current_ == nullptr || delivered_ == current_->sets.sets) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return filled_ > taken_ || finished_; });
            if (filled_ == taken_) return RawBlock{};
            current_ = &slots_[taken_ % kSlots];
            delivered_ = 0;
            ++taken_;
        }
        changed_.notify_all();  // the slot before is free again
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

// Reads the next sets into the slot; returns their count, 0 at the end.
int ReadAhead::ReadSlot(Slot &slot)
{
    const int64_t available = (endPosition_ - position_) / bytesPerSet_;
    int64_t sets = std::min({int64_t{slotSets_}, setsLeft_, available});
    if (sets < 1) return 0;
    const int64_t bytes = sets * bytesPerSet_;
    char *bytesI = slot.bytes.data();
    char *bytesQ = readQ_ ? bytesI + slotSets_ * bytesPerSet_ : bytesI;
    sets = std::min(sets, Parser_ReadAt(files_.inputHandleI.get(), position_, bytesI, bytes) / bytesPerSet_);
    if (readQ_) sets = std::min(sets, Parser_ReadAt(files_.inputHandleQ.get(), position_, bytesQ, bytes) / bytesPerSet_);
    position_ += sets * bytesPerSet_;
    setsLeft_ -= sets;
    slot.sets = RawBlock{bytesI, bytesQ, static_cast<int>(sets)};
    return static_cast<int>(sets);
}

void ReadAhead::ReadLoop()
{
    for (;;) {
        int64_t block;
        {
            std::unique_lock lock(mutex_);
            // Every slot but the one the worker holds may be filled ahead.
            changed_.wait(lock, [this] { return stop_ || filled_ < taken_ + kSlots - 1; });
            if (stop_) return;
            block = filled_;
        }
        const int sets = ReadSlot(slots_[block % kSlots]);
        {
            std::lock_guard lock(mutex_);
            if (sets > 0) ++filled_;
            else finished_ = true;
        }
        changed_.notify_all();
        if (sets == 0) return;
    }
}

WriteBehind::WriteBehind(ZmxFile &file) : file_(file)
{
    thread_ = std::thread([this] { WriteLoop(); });
}

WriteBehind::~WriteBehind()
{
    (void)Finish();
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

int16_t *WriteBehind::Buffer(int pairs)
{
    pairs = std::max(pairs, 0);
    // A slot without room for the block is written as it is.
    if (filling_ && slots_[submitted_ % kSlots].count + int64_t{pairs} > kSlotPairs) QueueFilling();
    if (!filling_) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return submitted_ - written_ < kSlots; });
        slots_[submitted_ % kSlots].count = 0;
        filling_ = true;
    }
    // Only this thread touches the slot being filled: submitted_ changes here alone.
    Slot &slot = slots_[submitted_ % kSlots];
    const size_t values = 2 * (static_cast<size_t>(slot.count) + static_cast<size_t>(pairs));
    if (slot.pairs.size() < values) slot.pairs.resize(std::max(values, 2 * static_cast<size_t>(kSlotPairs)));
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
    changed_.notify_all();
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
    changed_.wait(lock, [this] { return written_ == submitted_; });
    return failed_ ? 0 : 1;
}

void WriteBehind::WriteLoop()
{
    for (;;) {
        int64_t block;
        bool skip;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || written_ < submitted_; });
            if (written_ == submitted_) return;  // stopped with nothing left to write
            block = written_;
            skip = failed_;
        }
        const Slot &slot = slots_[block % kSlots];
        const bool ok = skip || Conversion_WriteZmxEncoded(file_, slot.count, slot.pairs.data()) == 1;
        {
            std::lock_guard lock(mutex_);
            if (!ok) failed_ = true;
            ++written_;
        }
        changed_.notify_all();
    }
}
