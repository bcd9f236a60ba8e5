#include "model/DeviceTypes.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace {

TEST(DeviceTypes, EighteenExactNamesInFiveLayouts) {
    EXPECT_EQ(deviceTypes.size(), 18u);
    EXPECT_EQ(layoutForDeviceType("CALVO442"), PanelLayout::Brw774);
    EXPECT_EQ(layoutForDeviceType("DM773"), PanelLayout::Brw773);
    EXPECT_EQ(layoutForDeviceType("CALVO111"), PanelLayout::Brw721);
    EXPECT_EQ(layoutForDeviceType("CALVO1642"), PanelLayout::Brw777);
    EXPECT_EQ(layoutForDeviceType("CALVO942"), PanelLayout::Brw776);
    EXPECT_FALSE(layoutForDeviceType("FN773")) << "773 comes only as BRW and DM";
    EXPECT_FALSE(layoutForDeviceType("brw774"));
    EXPECT_FALSE(layoutForDeviceType("start"));
    EXPECT_EQ(deviceTypes.front().name, "BRW774");
}

TEST(DeviceTypes, TheUserIsOfferedThemByVendorAndLayout) {
    const std::vector<std::string_view> offered = {"BRW721",   "BRW773",   "BRW774",    "BRW776", "BRW777", "CALVO111",
                                                   "CALVO442", "CALVO942", "CALVO1642", "DM721",  "DM773",  "DM774",
                                                   "DM776",    "DM777",    "FN721",     "FN774",  "FN776",  "FN777"};
    EXPECT_EQ(offeredDeviceTypes(), offered);
}

} // namespace
