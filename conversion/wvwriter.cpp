#include "conversion/wvwriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/cpu.h"
#include "base/tempfile.h"
#include "configuration/settings.h"
#if defined(__x86_64__)
#include "conversion/pairencoding.h"
#endif

namespace {

constexpr int kHeaderBufferBytes = 512;
// Everything behind the clock text is fixed; the patch positions count back from the header's
// end, so they hold whatever width the comment and the clock text took.
constexpr std::string_view kHeaderTail = "}{LEVEL OFFS: 0000000,0000000}{SAMPLES: 0000000000}{WAVEFORM-0000000000:#";
constexpr int64_t kLevelOffsetsFromEnd = 59;
constexpr int64_t kSamplesFromEnd = 33;
constexpr int64_t kWaveformFromEnd = 12;
static_assert(kHeaderTail.substr(kHeaderTail.size() - kLevelOffsetsFromEnd, 15) == "0000000,0000000");
static_assert(kHeaderTail.substr(kHeaderTail.size() - kSamplesFromEnd - 10, 10) == "{SAMPLES: ");
static_assert(kHeaderTail.substr(kHeaderTail.size() - kWaveformFromEnd - 10, 10) == "{WAVEFORM-");

constexpr int kLevelOffsetsChars = 15;
constexpr int kCountChars = 10;
// "%07.3f" stays seven characters wide inside this range.
constexpr double kLevelOffsetMin = -99.999;
constexpr double kLevelOffsetMax = 999.999;

bool WriteAllAt(int fd, std::string_view text, int64_t offset)
{
    while (!text.empty()) {
        const ssize_t written = ::pwrite(fd, text.data(), text.size(), static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text.remove_prefix(static_cast<size_t>(written));
        offset += written;
    }
    return true;
}

// floor(x + 0.5) held to 16 bits; NaN, which has no integer, gives 0.
// The plain form of the vector loop below, for the last pairs of a block.
int16_t EncodeValue(double x)
{
    const double rounded = std::floor(x + 0.5);
    if (std::isnan(rounded)) return 0;
    return static_cast<int16_t>(std::clamp(rounded, -32768.0, 32767.0));
}

#if defined(__SSE2__)
// Two values clamped to -32768 .. 32767 after the + 0.5 of the rounding; NaN becomes 0. The
// clamp comes before the rounding (both orders give the same integer) so that the truncating
// conversion that follows is always defined.
__m128d ClampTwo(const double *x)
{
    __m128d t = _mm_add_pd(_mm_loadu_pd(x), _mm_set1_pd(0.5));
    t = _mm_and_pd(t, _mm_cmpord_pd(t, t));
    return _mm_min_pd(_mm_max_pd(t, _mm_set1_pd(-32768.0)), _mm_set1_pd(32767.0));
}

// floor(x + 0.5) of four values as 32-bit integers, branch-free: truncation, then minus one
// where truncation rounded a negative fraction up.
__m128i EncodeFour(const double *x)
{
    const __m128d low = ClampTwo(x);
    const __m128d high = ClampTwo(x + 2);
    const __m128i truncatedLow = _mm_cvttpd_epi32(low);
    const __m128i truncatedHigh = _mm_cvttpd_epi32(high);
    const __m128d roundedUpLow = _mm_cmpgt_pd(_mm_cvtepi32_pd(truncatedLow), low);
    const __m128d roundedUpHigh = _mm_cmpgt_pd(_mm_cvtepi32_pd(truncatedHigh), high);
    // The comparisons give 64-bit masks; one 32-bit half of each is the -1 or 0 to add.
    const __m128i minusOne = _mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(roundedUpLow), _mm_castpd_ps(roundedUpHigh),
                                                             _MM_SHUFFLE(2, 0, 2, 0)));
    return _mm_add_epi32(_mm_unpacklo_epi64(truncatedLow, truncatedHigh), minusOne);
}

// Encodes four pairs into eight 16-bit values I0 Q0 I1 Q1 I2 Q2 I3 Q3.
void EncodeFourPairs(const double *i, const double *q, int16_t *pairs)
{
    const __m128i iValues = EncodeFour(i);
    const __m128i qValues = EncodeFour(q);
    const __m128i interleaved = _mm_packs_epi32(_mm_unpacklo_epi32(iValues, qValues),
                                                _mm_unpackhi_epi32(iValues, qValues));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(pairs), interleaved);
}
#endif

#if defined(__x86_64__)
// The whole groups of four pairs on AVX2; returns the pairs encoded.
__attribute__((target("avx2"))) int EncodePairsAvx2(int count, const double *i, const double *q, int16_t *pairs)
{
    int k = 0;
    for (; k + 4 <= count; k += 4)
        Conversion_StoreFourPairsAvx2(_mm256_loadu_pd(i + k), _mm256_loadu_pd(q + k), pairs + 2 * k);
    return k;
}
#endif

// A level offset as the seven characters of "%07.3f".
double PrintableLevelOffset(double value)
{
    if (!std::isfinite(value)) return 0.0;
    return std::clamp(value, kLevelOffsetMin, kLevelOffsetMax);
}

bool PatchTrailer(const ZmxFile &file, int pairs, double peak, double rms)
{
    char text[64];
    const int levelChars = std::snprintf(text, sizeof text, "%07.3f,%07.3f",
                                         PrintableLevelOffset(20.0 * std::log10(peak / rms)),
                                         PrintableLevelOffset(20.0 * std::log10(32767.0 / peak)));
    if (levelChars != kLevelOffsetsChars || !WriteAllAt(file.handle, {text, kLevelOffsetsChars}, file.levelOffsetsPos))
        return false;
    std::snprintf(text, sizeof text, "%010d", pairs);
    if (!WriteAllAt(file.handle, {text, kCountChars}, file.samplesPos)) return false;
    std::snprintf(text, sizeof text, "%010d", 4 * pairs + 1);
    return WriteAllAt(file.handle, {text, kCountChars}, file.waveformPos);
}

void CloseOutput(ZmxFile &file)
{
    if (file.handle >= 0) ::close(file.handle);
    file.handle = -1;
}

// Lets go of the temporary file's lock; done once it has its final name or was removed.
void ReleaseLock(ZmxFile &file)
{
    if (file.lockHandle >= 0) ::close(file.lockHandle);
    file.lockHandle = -1;
}

}  // namespace

void Conversion_EncodeZmxPairs(int count, const double *i, const double *q, int16_t *pairs)
{
    int k = 0;
#if defined(__x86_64__)
    if (Cpu_UseAvx2()) k = EncodePairsAvx2(count, i, q, pairs);
#endif
#if defined(__SSE2__)
    for (; k + 4 <= count; k += 4) EncodeFourPairs(i + k, q + k, pairs + 2 * k);
#endif
    for (; k < count; ++k) {
        pairs[2 * k] = EncodeValue(i[k]);
        pairs[2 * k + 1] = EncodeValue(q[k]);
    }
    if constexpr (std::endian::native == std::endian::big) {
        for (k = 0; k < 2 * count; ++k) {
            const auto value = static_cast<uint16_t>(pairs[k]);
            pairs[k] = static_cast<int16_t>(static_cast<uint16_t>(value << 8 | value >> 8));
        }
    }
}

ZmxFile Conversion_CreateZmxFile(const char *fileName, const char *comment, double clockMHz)
{
    ZmxFile file;
    const double clockHz = clockMHz * 1e6;
    if (!fileName || !*fileName || !std::isfinite(clockHz) || clockHz < 0.0) {
        file.error = EINVAL;
        return file;
    }
    // The comment never holds more than 95 characters; a longer one is cut rather than let
    // it push the header out of its buffer.
    const std::string_view commentText =
        std::string_view(comment ? comment : "").substr(0, static_cast<size_t>(kCommentMaxChars));

    char header[kHeaderBufferBytes];
    const int headerLength = std::snprintf(header, sizeof header,
                                           "{TYPE: ZMW-WV,0}{COMMENT: %.*s}{CLOCK: %012.3f%s",
                                           static_cast<int>(commentText.size()), commentText.data(),
                                           clockHz, kHeaderTail.data());
    if (headerLength < 0 || headerLength >= kHeaderBufferBytes) {
        file.error = EINVAL;
        return file;
    }

    file.targetPath = fileName;
    errno = 0;  // every name taken by another writer ends the attempts without an error of its own
    file.handle = Files_CreateTemporaryBeside(file.targetPath, file.temporaryPath);
    if (file.handle < 0) {
        file.error = errno != 0 ? errno : EEXIST;
        return file;
    }
    // The lock belongs to the open file, which this duplicate keeps open after the writing
    // handle is closed at the finish.
    file.lockHandle = ::fcntl(file.handle, F_DUPFD_CLOEXEC, 0);
    if (file.lockHandle < 0 || !Files_WriteAll(file.handle, header, static_cast<size_t>(headerLength))) {
        // A write that took no bytes (a full disk) sets no errno.
        const int error = errno != 0 ? errno : ENOSPC;
        Conversion_DiscardZmxFile(file);
        file.error = error;
        return file;
    }
    file.commentLength = static_cast<int>(commentText.size());
    file.levelOffsetsPos = headerLength - kLevelOffsetsFromEnd;
    file.samplesPos = headerLength - kSamplesFromEnd;
    file.waveformPos = headerLength - kWaveformFromEnd;
    return file;
}

int Conversion_WriteZmxSamples(ZmxFile &file, int count, const double *i, const double *q)
{
    if (file.handle < 0 || count < 0 || count > kMaxOutputPairs - file.pairsWritten) return 0;
    if (count == 0) return 1;
    const size_t values = 2 * static_cast<size_t>(count);
    if (file.blockBuffer.size() < values) file.blockBuffer.resize(values);
    Conversion_EncodeZmxPairs(count, i, q, file.blockBuffer.data());
    return Conversion_WriteZmxEncoded(file, count, file.blockBuffer.data());
}

int Conversion_WriteZmxEncoded(ZmxFile &file, int count, const int16_t *pairs)
{
    if (file.handle < 0 || count < 0 || count > kMaxOutputPairs - file.pairsWritten) return 0;
    if (count == 0) return 1;
    const size_t bytes = 2 * static_cast<size_t>(count) * sizeof(int16_t);
    if (!Files_WriteAll(file.handle, pairs, bytes)) {
        file.error = errno;
        return 0;
    }
    file.pairsWritten += count;
    return 1;
}

void Conversion_FinishZmxFile(ZmxFile &file, int pairs, double peak, double rms)
{
    if (file.handle < 0) return;
    const bool written = pairs == file.pairsWritten && Files_WriteAll(file.handle, "}", 1) &&
                         PatchTrailer(file, pairs, peak, rms);
    if (!written && file.error == 0) file.error = errno;
    const bool closed = ::close(file.handle) == 0;
    if (!closed && file.error == 0) file.error = errno;
    file.handle = -1;
    file.finished = written && closed;
}

int Conversion_AcceptZmxFile(ZmxFile &file, bool replace)
{
    RenameOutcome outcome = RenameOutcome::Failed;
    if (file.finished && !file.temporaryPath.empty()) {
        if (replace)
            outcome = ::rename(file.temporaryPath.c_str(), file.targetPath.c_str()) == 0 ? RenameOutcome::Done
                                                                                         : RenameOutcome::Failed;
        else
            outcome = Files_RenameNoReplace(file.temporaryPath, file.targetPath);
    }
    if (outcome != RenameOutcome::Done) {
        if (outcome == RenameOutcome::Failed && file.error == 0) file.error = errno;
        Conversion_DiscardZmxFile(file);
        return outcome == RenameOutcome::TargetExists ? kAcceptTargetExists : 0;
    }
    ReleaseLock(file);
    file.temporaryPath.clear();
    file.finished = false;
    return 1;
}

void Conversion_DiscardZmxFile(ZmxFile &file)
{
    CloseOutput(file);
    if (!file.temporaryPath.empty()) ::unlink(file.temporaryPath.c_str());
    ReleaseLock(file);
    file.temporaryPath.clear();
    file.finished = false;
}

bool Conversion_IsTemporaryOutputName(const std::string &fileName) { return Files_IsTemporaryName(fileName); }
