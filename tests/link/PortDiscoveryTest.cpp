#include "link/PortDiscovery.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// A /dev and a /sys of a machine with two USB adapters, a USB modem, a Raspberry Pi UART, a
// Bluetooth serial link, and the kernel's usual crowd of ttyS ports of which two have a UART.
class FakeMachine : public ::testing::Test {
protected:
    FakeMachine() : root(folder.path().toStdString()), dev(root / "dev"), sys(root / "sys") {
        for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyAMA0", "rfcomm0", "ttyS0", "ttyS1", "ttyS2",
                                 "ttyS10", "ttyS11", "tty0", "tty", "console", "ttyUSB", "ttyprintk", "null"})
            file(dev / name);
        fs::create_directories(dev / "pts");
        link(dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0", "../../ttyUSB0");
        link(dev / "serial/by-id/usb-Gone_Adapter-if00-port0", "../../ttyUSB9");

        usbDevice("1-1", "ttyUSB0", "1-1:1.0/ttyUSB0", "FT232R USB UART");
        usbDevice("1-2", "ttyUSB1", "1-2:1.0/ttyUSB1", "CP2102 USB to UART Bridge Controller");
        usbDevice("1-3", "ttyACM0", "1-3:1.0", "Arduino Uno");

        uart("ttyS0", "4", true);   // a 16550A on the mainboard
        uart("ttyS1", "0", true);   // a port the kernel made up: type 0 outweighs the link
        uart("ttyS11", "0", false); // the same, without a link
        fs::create_directories(sys / "class/tty/ttyS2");
        fs::create_directory_symlink("../../../devices/platform/uart2", sys / "class/tty/ttyS2/device");
        fs::create_directories(sys / "devices/platform/uart2"); // a driver without a type file
    }

    void file(const fs::path& path, const std::string& text = {}) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    void link(const fs::path& at, const fs::path& target) {
        fs::create_directories(at.parent_path());
        fs::create_symlink(target, at);
    }
    void usbDevice(const std::string& usb, const std::string& tty, const std::string& below,
                   const std::string& product) {
        const fs::path device = sys / "devices/pci0000:00/usb1" / usb;
        file(device / "product", product + "\n");
        fs::create_directories(device / below);
        fs::create_directories(sys / "class/tty" / tty);
        fs::create_directory_symlink(device / below, sys / "class/tty" / tty / "device");
    }
    void uart(const std::string& tty, const std::string& type, bool withDevice) {
        file(sys / "class/tty" / tty / "type", type + "\n");
        if (withDevice) link(sys / "class/tty" / tty / "device", "../../../devices/platform/serial8250");
    }
    std::string at(const std::string& name) const { return (dev / name).string(); }

    QTemporaryDir folder;
    fs::path root, dev, sys;
};

TEST_F(FakeMachine, OffersTheSerialPortsSortedWithWhatTheSystemKnows) {
    const std::string stable = "usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0";
    const std::vector<DiscoveredPort> expected = {
        {at("rfcomm0"), ""},
        {at("serial/by-id/" + stable), stable},
        {at("ttyACM0"), "Arduino Uno"},
        {at("ttyAMA0"), ""},
        {at("ttyS0"), ""},
        {at("ttyS2"), ""},
        {at("ttyUSB0"), stable}, // its stable name tells more than the product
        {at("ttyUSB1"), "CP2102 USB to UART Bridge Controller"},
    };
    EXPECT_EQ(discoverPorts(dev.string(), sys.string()), expected);
}

TEST_F(FakeMachine, NumbersSortByValue) {
    for (const char* name : {"ttyUSB10", "ttyUSB2"})
        file(dev / name);
    std::vector<std::string> usb;
    for (const auto& port : discoverPorts(dev.string(), sys.string()))
        if (port.path.find("ttyUSB") != std::string::npos) usb.push_back(fs::path(port.path).filename().string());
    EXPECT_EQ(usb, (std::vector<std::string>{"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB10"}));
}

TEST_F(FakeMachine, AMachineWithoutSerialPortsOrWithoutTheFoldersOffersNothing) {
    fs::remove_all(dev);
    file(dev / "tty0");
    file(dev / "ttyS1");
    EXPECT_TRUE(discoverPorts(dev.string(), sys.string()).empty());
    EXPECT_TRUE(discoverPorts((root / "no-dev").string(), (root / "no-sys").string()).empty());
}

} // namespace
