#include "conversion/blockio.h"

#include <algorithm>

ReadAhead::ReadAhead(const InputFiles &files, const ConversionSettings &settings, int64_t position,
                     int64_t totalSets, int blockSets)
    : files_(files),
      bytesPerSet_(std::max(settings.bytesPerSet, 1)),
      endPosition_(files.inputSize - Settings_KnownLength(settings.trailerLength)),
      readQ_(settings.separateFiles && settings.qValueIndex >= 0),
      blockSets_(std::max(blockSets, 1)),
      position_(position),
      setsLeft_(totalSets)
{
    const size_t blockBytes = static_cast<size_t>(blockSets_ * bytesPerSet_);
    for (Slot &slot : slots_) slot.bytes.resize(readQ_ ? 2 * blockBytes : blockBytes);
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
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return filled_ > taken_ || finished_; });
    if (filled_ == taken_) return RawBlock{};
    const RawBlock block = slots_[taken_ % kSlots].block;
    ++taken_;
    lock.unlock();
    changed_.notify_all();  // the slot of the block before is free again
    return block;
}

// Reads the next block into the slot; returns its sets, 0 at the end.
int ReadAhead::ReadBlock(Slot &slot)
{
    const int64_t available = (endPosition_ - position_) / bytesPerSet_;
    int64_t sets = std::min({int64_t{blockSets_}, setsLeft_, available});
    if (sets < 1) return 0;
    const int64_t bytes = sets * bytesPerSet_;
    char *bytesI = slot.bytes.data();
    char *bytesQ = readQ_ ? bytesI + blockSets_ * bytesPerSet_ : bytesI;
    sets = std::min(sets, Parser_ReadAt(files_.inputHandleI.get(), position_, bytesI, bytes) / bytesPerSet_);
    if (readQ_) sets = std::min(sets, Parser_ReadAt(files_.inputHandleQ.get(), position_, bytesQ, bytes) / bytesPerSet_);
    position_ += sets * bytesPerSet_;
    setsLeft_ -= sets;
    slot.block = RawBlock{bytesI, bytesQ, static_cast<int>(sets)};
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
        const int sets = ReadBlock(slots_[block % kSlots]);
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
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return submitted_ - written_ < kSlots; });
    Slot &slot = slots_[submitted_ % kSlots];
    const size_t values = 2 * static_cast<size_t>(std::max(pairs, 0));
    if (slot.pairs.size() < values) slot.pairs.resize(values);
    return slot.pairs.data();
}

void WriteBehind::Submit(int pairs)
{
    {
        std::lock_guard lock(mutex_);
        slots_[submitted_ % kSlots].count = pairs;
        ++submitted_;
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
