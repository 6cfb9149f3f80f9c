// Comparing database images: two images of the same objects differ only in
// their salt (random per image) and the checksums that cover it.
#ifndef TESTS_SUPPORT_IMAGE_BYTES_H
#define TESTS_SUPPORT_IMAGE_BYTES_H

#include <vector>

// The image with the salt of each header slot, the slot's checksum and the
// first commit block's header checksum set to 0.
inline std::vector<unsigned char> ImageWithoutSalt(std::vector<unsigned char> image)
{
    const unsigned long kSlotSize = 512;
    const unsigned long kDataStart = 1024;
    const unsigned long kHeaderMagic = 0x42445A51;
    const unsigned long kSaltAt = 16;
    const unsigned long kSlotCrcAt = 32;
    const unsigned long kBlockHeaderCrcAt = 20;
    auto get = [&](unsigned long at) {
        return image[at] | (image[at + 1] << 8) | (image[at + 2] << 16) |
               ((unsigned long)image[at + 3] << 24);
    };
    auto clear = [&](unsigned long at) {
        for (int i = 0; i < 4; ++i)
            image[at + i] = 0;
    };
    if (image.size() < kDataStart)
        return image;
    for (unsigned long slot = 0; slot < 2; ++slot)
        if (get(slot * kSlotSize) == kHeaderMagic) {
            clear(slot * kSlotSize + kSaltAt);
            clear(slot * kSlotSize + kSlotCrcAt);
        }
    if (image.size() >= kDataStart + kBlockHeaderCrcAt + 4)
        clear(kDataStart + kBlockHeaderCrcAt);
    return image;
}

#endif
