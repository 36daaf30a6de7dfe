#include "colour.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <lcms2.h>

namespace quiltana {

struct SrgbConverter::Transform {
    DecodedColours colours = DecodedColours::Rgb;
    // Rgb, Cmyk and CmykInverted: RGB888 (in place) or 4-byte CMYK to sRGB as RGB888.
    cmsHTRANSFORM handle = nullptr;
    // Grey: the sRGB colour of every grey level, three bytes each.
    std::array<unsigned char, 256 * 3> grey{};

    Transform() = default;
    Transform(const Transform &) = delete;
    Transform &operator=(const Transform &) = delete;
    ~Transform()
    {
        if (handle)
            cmsDeleteTransform(handle);
    }
};

namespace {

using TransformPtr = std::shared_ptr<const SrgbConverter::Transform>;

// LittleCMS reports a broken profile through its log as well as by its result; the result is
// all the program needs (the picture is then taken as sRGB), so the log stays silent.
extern "C" void SilentColourLog(cmsContext, cmsUInt32Number, const char *) {}

struct CmsProfile {
    cmsHPROFILE handle;
    explicit CmsProfile(cmsHPROFILE h) noexcept : handle(h) {}
    CmsProfile(const CmsProfile &) = delete;
    CmsProfile &operator=(const CmsProfile &) = delete;
    ~CmsProfile()
    {
        if (handle)
            cmsCloseProfile(handle);
    }
};

// Converting to sRGB moves no colour of a grid over the cube by more than this: the profile
// describes sRGB (or near enough that no print could tell), and its pictures pass unchanged.
constexpr int kSrgbTolerance = 1;
constexpr int kGridSteps = 9;
constexpr std::size_t kGridBytes = kGridSteps * kGridSteps * kGridSteps * 3;

bool MovesNoColour(const unsigned char *before, const unsigned char *after, std::size_t bytes) noexcept
{
    for (std::size_t i = 0; i < bytes; ++i)
        if (std::abs(int(before[i]) - int(after[i])) > kSrgbTolerance)
            return false;
    return true;
}

// The profile's own colour space must be the pixels': a CMYK profile says nothing about RGB
// values. Device links, abstract and named-colour profiles do not describe a picture's
// colours at all.
bool Describes(cmsHPROFILE profile, DecodedColours colours) noexcept
{
    const cmsProfileClassSignature kind = cmsGetDeviceClass(profile);
    if (kind != cmsSigInputClass && kind != cmsSigDisplayClass && kind != cmsSigOutputClass
        && kind != cmsSigColorSpaceClass)
        return false;
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile);
    switch (colours) {
    case DecodedColours::Rgb:
        return space == cmsSigRgbData;
    case DecodedColours::Grey:
        return space == cmsSigGrayData;
    case DecodedColours::Cmyk:
    case DecodedColours::CmykInverted:
        return space == cmsSigCmykData;
    }
    return false;
}

// The transform for a profile, or null when its pictures are taken as sRGB.
TransformPtr Build(const unsigned char *bytes, std::size_t size, DecodedColours colours) noexcept
{
    static std::once_flag silenced;
    std::call_once(silenced, [] { cmsSetLogErrorHandler(SilentColourLog); });

    CmsProfile source(cmsOpenProfileFromMem(bytes, static_cast<cmsUInt32Number>(size)));
    if (!source.handle || !Describes(source.handle, colours))
        return nullptr;
    CmsProfile srgb(cmsCreate_sRGBProfile());
    if (!srgb.handle)
        return nullptr;
    cmsUInt32Number format = TYPE_RGB_8;
    if (colours == DecodedColours::Grey)
        format = TYPE_GRAY_8;
    else if (colours == DecodedColours::Cmyk)
        format = TYPE_CMYK_8;
    else if (colours == DecodedColours::CmykInverted)
        format = TYPE_CMYK_8_REV;
    // Perceptual: the ICC's default intent for photographs. A CMYK or LUT profile carries its
    // own gamut mapping for it; matrix profiles (Adobe RGB, Display P3, camera profiles) have
    // none, and LittleCMS falls back to relative colorimetric for them, which keeps every
    // colour sRGB can show and clips the rest. No 1-pixel cache: the transform is shared by
    // every decoding thread at once.
    cmsHTRANSFORM handle = cmsCreateTransform(source.handle, format, srgb.handle, TYPE_RGB_8,
                                              INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    if (!handle)
        return nullptr;
    std::shared_ptr<SrgbConverter::Transform> transform;
    try {
        transform = std::make_shared<SrgbConverter::Transform>();
    } catch (...) {
        cmsDeleteTransform(handle);
        return nullptr;
    }
    transform->colours = colours;
    transform->handle = handle;

    switch (colours) {
    case DecodedColours::Grey: {
        std::array<unsigned char, 256> levels;
        std::array<unsigned char, 256 * 3> widened;
        for (int g = 0; g < 256; ++g) {
            levels[g] = static_cast<unsigned char>(g);
            std::fill_n(widened.begin() + 3 * g, 3, static_cast<unsigned char>(g));
        }
        cmsDoTransform(handle, levels.data(), transform->grey.data(), 256);
        // The table is all a grey picture needs.
        cmsDeleteTransform(handle);
        transform->handle = nullptr;
        if (MovesNoColour(widened.data(), transform->grey.data(), widened.size()))
            return nullptr;
        break;
    }
    case DecodedColours::Rgb: {
        std::array<unsigned char, kGridBytes> grid;
        std::size_t i = 0;
        for (int r = 0; r < kGridSteps; ++r)
            for (int g = 0; g < kGridSteps; ++g)
                for (int b = 0; b < kGridSteps; ++b)
                    for (int v : {r, g, b})
                        grid[i++] = static_cast<unsigned char>(v * 255 / (kGridSteps - 1));
        std::array<unsigned char, kGridBytes> converted;
        cmsDoTransform(handle, grid.data(), converted.data(),
                       static_cast<cmsUInt32Number>(grid.size() / 3));
        if (MovesNoColour(grid.data(), converted.data(), grid.size()))
            return nullptr;
        break;
    }
    case DecodedColours::Cmyk:
    case DecodedColours::CmykInverted:
        // No CMYK profile is the plain formula.
        break;
    }
    return transform;
}

// Transforms built so far, by the profile's bytes and the pixels they were built for. Every
// camera and editor embeds one of a few profiles, so a few dozen entries serve a whole
// session; the bytes kept to compare against are bounded as well, as a press profile takes
// megabytes.
class TransformCache {
public:
    static TransformCache &instance() noexcept
    {
        static TransformCache cache;
        return cache;
    }

    // Whether the profile was seen before; then `*transform` is its transform.
    bool find(std::string_view bytes, std::size_t hash, DecodedColours colours, TransformPtr *transform) noexcept
    {
        const std::lock_guard lock(mutex_);
        Entry *entry = locate(bytes, hash, colours);
        if (!entry)
            return false;
        entry->lastUse = ++clock_;
        *transform = entry->transform;
        return true;
    }

    // Keeps `transform` for the profile, unless another thread has meanwhile: answers the one
    // kept, so that every picture of a profile shares one transform.
    TransformPtr keep(std::string_view bytes, std::size_t hash, DecodedColours colours, TransformPtr transform) noexcept
    {
        const std::lock_guard lock(mutex_);
        if (const Entry *entry = locate(bytes, hash, colours))
            return entry->transform;
        if (bytes.size() > kMaxKeptBytes)
            return transform;
        try {
            while (!entries_.empty()
                   && (entries_.size() >= kMaxEntries || keptBytes_ + bytes.size() > kMaxKeptBytes)) {
                const auto oldest = std::min_element(entries_.begin(), entries_.end(),
                    [](const Entry &a, const Entry &b) { return a.lastUse < b.lastUse; });
                keptBytes_ -= oldest->bytes.size();
                entries_.erase(oldest);
            }
            entries_.push_back(Entry{std::string(bytes), hash, colours, transform, ++clock_});
            keptBytes_ += bytes.size();
        } catch (...) {
            // Out of memory: the picture keeps its transform, only the next one builds again.
        }
        return transform;
    }

private:
    static constexpr std::size_t kMaxEntries = 32;
    static constexpr std::size_t kMaxKeptBytes = 32u * 1024 * 1024;

    struct Entry {
        std::string bytes;
        std::size_t hash;
        DecodedColours colours;
        TransformPtr transform;
        std::uint64_t lastUse;
    };

    // The entry of that profile, under the lock; nullptr when there is none.
    Entry *locate(std::string_view bytes, std::size_t hash, DecodedColours colours) noexcept
    {
        for (Entry &entry : entries_)
            if (entry.hash == hash && entry.colours == colours && entry.bytes == bytes)
                return &entry;
        return nullptr;
    }

    std::mutex mutex_;
    std::vector<Entry> entries_;
    std::size_t keptBytes_ = 0;
    std::uint64_t clock_ = 0;
};

void PlainCmykToRgb(const unsigned char *cmyk, unsigned char *rgb, int width, bool inverted) noexcept
{
    for (int x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        // Adobe writes CMYK inverted (0 = full ink), so the stored values are already the
        // complements: R = (255 - C') * (255 - K') / 255 with C' = 255 - stored.
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        rgb[0] = static_cast<unsigned char>((c * k + 127) / 255);
        rgb[1] = static_cast<unsigned char>((m * k + 127) / 255);
        rgb[2] = static_cast<unsigned char>((y * k + 127) / 255);
    }
}

} // namespace

SrgbConverter SrgbConverter::ForProfile(const unsigned char *profile, std::size_t size,
                                        DecodedColours colours) noexcept
{
    SrgbConverter converter;
    if (!profile || size == 0 || size > kMaxColourProfileBytes)
        return converter;
    const std::string_view bytes(reinterpret_cast<const char *>(profile), size);
    const std::size_t hash = std::hash<std::string_view>{}(bytes);
    TransformCache &cache = TransformCache::instance();
    if (!cache.find(bytes, hash, colours, &converter.transform_))
        // Built outside the lock: a large CMYK profile takes a while, and other threads
        // decoding pictures of known profiles need not wait for it.
        converter.transform_ = cache.keep(bytes, hash, colours, Build(profile, size, colours));
    return converter;
}

void SrgbConverter::convertRgb(unsigned char *rgb, int width) const noexcept
{
    if (!transform_ || width <= 0)
        return;
    switch (transform_->colours) {
    case DecodedColours::Rgb:
        cmsDoTransform(transform_->handle, rgb, rgb, static_cast<cmsUInt32Number>(width));
        break;
    case DecodedColours::Grey: {
        const unsigned char *table = transform_->grey.data();
        for (unsigned char *p = rgb, *end = rgb + 3 * static_cast<std::size_t>(width); p != end; p += 3) {
            const unsigned char *c = table + 3 * p[0];
            p[0] = c[0];
            p[1] = c[1];
            p[2] = c[2];
        }
        break;
    }
    case DecodedColours::Cmyk:
    case DecodedColours::CmykInverted:
        break; // not RGB pixels
    }
}

void SrgbConverter::convertCmyk(const unsigned char *cmyk, unsigned char *rgb, int width, bool inverted) const noexcept
{
    if (width <= 0)
        return;
    if (transform_ && (transform_->colours == DecodedColours::Cmyk
                       || transform_->colours == DecodedColours::CmykInverted))
        cmsDoTransform(transform_->handle, cmyk, rgb, static_cast<cmsUInt32Number>(width));
    else
        PlainCmykToRgb(cmyk, rgb, width, inverted);
}

void CompositeOnWhite(const unsigned char *rgba, unsigned char *rgb, int width) noexcept
{
    for (int x = 0; x < width; ++x, rgba += 4, rgb += 3) {
        const unsigned a = rgba[3];
        // Most pixels of most pictures are opaque: they keep their colour as it is.
        if (a == 255) {
            std::memcpy(rgb, rgba, 3);
            continue;
        }
        rgb[0] = LaidOnWhite(rgba[0], a);
        rgb[1] = LaidOnWhite(rgba[1], a);
        rgb[2] = LaidOnWhite(rgba[2], a);
    }
}

} // namespace quiltana
