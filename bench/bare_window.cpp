// The start-up benchmark's baseline: a bare Qt program with a borderless window of the 721 panel's
// size that writes a key frame to the serial line named on its command line when it is pressed.

#include <QApplication>
#include <QWidget>

#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

namespace {

class FrameWindow : public QWidget {
public:
    explicit FrameWindow(int line) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), line_(line) {}

protected:
    void mousePressEvent(QMouseEvent*) override {
        static constexpr std::uint8_t frame[] = {0xFF, 0xC0, 0x00, 'P', 0x7F};
        if (::write(line_, frame, sizeof frame) != sizeof frame) QApplication::exit(1);
    }

private:
    int line_;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    const int line = ::open(argv[1], O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line < 0) return 1;
    FrameWindow window(line);
    window.resize(663, 170);
    window.show();
    const int status = QApplication::exec();
    ::close(line);
    return status;
}
