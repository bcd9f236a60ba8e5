#include "app/ProgramIcon.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramIcon, EverySizeIsPaintedToScale) {
    for (int size : ProgramIconSizes) {
        const QImage image = paintProgramIcon(size);
        ASSERT_EQ(image.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size << ": the corners stay clear";
        EXPECT_EQ(qAlpha(image.pixel(size - 1, size - 1)), 0) << size;
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255) << size << ": the face fills the middle";
        // The third lamp, green, sits at 9.6/16 across.
        const QRgb lamp = image.pixel(size * 96 / 160, size / 2);
        EXPECT_GT(qGreen(lamp), qRed(lamp) + 64) << size;
    }
}

TEST(ProgramIcon, TheWindowsGetEverySize) {
    const QList<QSize> sizes = programIcon().availableSizes();
    for (int size : ProgramIconSizes)
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
}

} // namespace
