#include "settings/LinkTexts.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(LinkTexts, EachFaultSaysWhatToDo) {
    const ProgramTexts texts;
    struct Row {
        PortFailure failure;
        const char* reason;
        const char* shortReason;
    } rows[] = {
        {{PortFault::NoDevice, ENOENT, "/dev/ttyS1", "", "", 0},
         "COM2 (/dev/ttyS1): устройства нет: адаптер не подключён или имя неверно",
         "устройства нет"},
        {{PortFault::PermissionDenied, EACCES, "/dev/ttyS1", "dialout", "anna", 0},
         "COM2 (/dev/ttyS1): нет доступа: добавьте пользователя в группу dialout: sudo usermod -aG dialout anna, "
         "затем войдите в систему снова",
         "нет доступа"},
        {{PortFault::PermissionDenied, EACCES, "/dev/ttyS1", "", "anna", 0},
         "COM2 (/dev/ttyS1): нет доступа: устройство открыто только своему владельцу, доступ может дать "
         "администратор (правило udev)",
         "нет доступа"},
        {{PortFault::InUse, EBUSY, "/dev/ttyS1", "", "", 0},
         "COM2 (/dev/ttyS1): порт занят другой программой",
         "порт занят другой программой"},
        {{PortFault::NotSerial, ENOTTY, "/dev/ttyS1", "", "", 0},
         "COM2 (/dev/ttyS1): это не последовательный порт",
         "это не последовательный порт"},
        {{PortFault::BadSpeed, EINVAL, "/dev/ttyS1", "", "", 0},
         "COM2 (/dev/ttyS1): скорость 0 не поддерживается",
         "скорость 0 не поддерживается"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(LinkTexts::reason(texts, "COM2", row.failure), std::string(row.reason));
        EXPECT_EQ(LinkTexts::shortReason(texts, row.failure), std::string(row.shortReason));
    }
    const PortFailure other{PortFault::Other, EPROTO, "/dev/ttyUSB0", "", "", 0};
    EXPECT_EQ(LinkTexts::reason(texts, "/dev/ttyUSB0", other), "/dev/ttyUSB0: " + systemErrorText(EPROTO))
        << "a name that is its own path is said once";
    EXPECT_EQ(LinkTexts::state(texts, "COM2", {}), "подключено к COM2");
}

} // namespace
