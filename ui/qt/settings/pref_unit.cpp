#include "settings/pref_unit.h"

#include "base/Messages.h"
#include "model/DeviceTypes.h"
#include "settings/PackLines.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QFont dialogFont() {
    QFont font;
    font.setFamilies(
        {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(8);
    return font;
}

QFont fixedFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Fixedsys"), QStringLiteral("DejaVu Sans Mono")});
    font.setPointSize(9);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

template <typename W> W* place(W* widget, int left, int top, int width = -1, int height = -1) {
    if (width < 0) {
        widget->adjustSize();
        widget->move(left, top);
    } else {
        widget->setGeometry(left, top, width, height);
    }
    return widget;
}

QComboBox* editableCombo(QWidget* parent, const QStringList& items) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    return combo;
}

} // namespace

Tpref_frm::Tpref_frm(PreferencesHost& host)
    // Only the hints given: a title, the window menu and a close box; no maximise, no minimise.
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      host_(host), WindowStorage1(*this, TWindowStorage::Position, false, QString(), QStringLiteral("Tpref_frm")) {
    setObjectName("Tpref_frm");
    setWindowTitle(QStringLiteral("Настройки"));
    setFont(dialogFont());
    setFixedSize(598, 200);
    move(155, 211);
    createControls();
    createVendorLabels();
    setTabOrder();
    watchKeys();
}

Tpref_frm::~Tpref_frm() {
    WindowStorage1.formDestroying();
}

void Tpref_frm::createControls() {
    Label1 = place(new QLabel(QStringLiteral("V1.063"), this), 256, 3, 48, 16);
    Label1->setFont(fixedFont());

    grp_lang_type = place(new QGroupBox(QStringLiteral("Язык"), this), 16, 22, 233, 43);
    lang_select_cmb =
        place(editableCombo(grp_lang_type, {QStringLiteral("Русский"), QStringLiteral("English")}), 16, 16, 145, 21);

    grp_hard_type = place(new QGroupBox(QStringLiteral("Тип устройства"), this), 16, 69, 129, 119);
    QStringList types;
    for (std::string_view type : offeredDeviceTypes())
        types << QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size()));
    dvr_type_cmb = place(editableCombo(grp_hard_type, types), 12, 20, 109, 21);
    dvr_type_cmb->setToolTip(QStringLiteral("Тип устройства"));
    connect(dvr_type_cmb, &QComboBox::currentTextChanged, this, [this] { HighlightVendor(); });

    grp_connect_type = place(new QGroupBox(QStringLiteral("Соединение"), this), 155, 69, 94, 119);
    lbl_port = place(new QLabel(QStringLiteral("Порт"), grp_connect_type), 10, 20);
    port_cmb = place(editableCombo(grp_connect_type, {}), 10, 40, 69, 21);
    for (const DiscoveredPort& port : Preferences::portChoices({}))
        port_cmb->addItem(QString::fromStdString(port.path));
    showPortHint();
    connect(port_cmb, &QComboBox::currentTextChanged, this, [this] { showPortHint(); });
    lbl_baudrate = place(new QLabel(QStringLiteral("Скорость"), grp_connect_type), 11, 69);
    baudrate_cmb = place(editableCombo(grp_connect_type, {"1200", "2400", "4800", "9600", "19200", "57600", "115200"}),
                         10, 89, 67, 21);
    baudrate_cmb->setCurrentText("9600");
    baudrate_cmb->setToolTip(QStringLiteral("Скорость обмена"));

    grp_id = place(new QGroupBox(QStringLiteral("ID"), this), 260, 22, 133, 166);
    lbl_id_help = place(new QLabel(QStringLiteral("Введите десятичное\n\nзначение от 0 до 255"), grp_id), 8, 28);
    id_byte_ed = place(new QLineEdit(QStringLiteral("0"), grp_id), 40, 80, 41, 24);
    id_byte_ed->setFont(fixedFont());
    id_byte_ed->setToolTip(QStringLiteral("ID регистратора"));

    grp_others = place(new QGroupBox(QStringLiteral("Другие настройки"), this), 404, 23, 173, 126);
    hints_enable_chk = place(new QCheckBox(QStringLiteral("Всплывающие подсказки"), grp_others), 12, 24, 153, 17);
    always_ontop_chk = place(new QCheckBox(QStringLiteral("Поверх всех окон"), grp_others), 12, 46, 133, 17);

    OK_b = place(new QPushButton(QStringLiteral("OK"), this), 506, 163, 70, 20);
    cancel_b = place(new QPushButton(QStringLiteral("Отмена"), this), 404, 164, 70, 20);
    connect(OK_b, &QPushButton::clicked, this, &Tpref_frm::OK_bClick);
    connect(cancel_b, &QPushButton::clicked, this, &Tpref_frm::cancel_bClick);
}

void Tpref_frm::createVendorLabels() {
    const std::pair<QLabel**, const char*> labels[] = {{&frm_brw, "Brimwell : BRW"},
                                                       {&frm_calvo, "Calvessa : CALVO"},
                                                       {&frm_dm, "Dunmora : DM"},
                                                       {&frm_fn, "Fennick : FN"}};
    int top = 52;
    for (auto [label, text] : labels) {
        *label = place(new QLabel(QString::fromLatin1(text), grp_hard_type), 12, top);
        (*label)->setToolTip(QStringLiteral("Соответствие моделей по производителям"));
        top += 16;
    }
}

void Tpref_frm::setTabOrder() {
    // OK first, so it holds the focus when the dialog opens.
    const QWidget* order[] = {OK_b,       cancel_b,         dvr_type_cmb,     port_cmb,       baudrate_cmb,
                              id_byte_ed, hints_enable_chk, always_ontop_chk, lang_select_cmb};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
}

void Tpref_frm::watchKeys() {
    for (QWidget* control : findChildren<QWidget*>())
        control->installEventFilter(this);
}

bool Tpref_frm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
        // Escape closes the dialog only from OK and the device type; elsewhere it does nothing.
        const bool closes = watched == OK_b || watched == dvr_type_cmb || watched == dvr_type_cmb->lineEdit();
        if (closes) {
            host_.EnablePanel();
            close();
        }
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        auto* button = qobject_cast<QPushButton*>(watched);
        (button ? button : OK_b)->click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool Tpref_frm::IsValidDeviceType(const QString& text) {
    return Preferences::IsValidDeviceType(text.toStdString());
}

bool Tpref_frm::IsValidIdText(const QString& text) {
    return Preferences::IsValidIdText(text.toStdString());
}

void Tpref_frm::HighlightVendor() {
    const QString type = dvr_type_cmb->currentText();
    if (!IsValidDeviceType(type)) return;
    const auto family = vendorOf(type.toStdString());
    QLabel* const labels[] = {frm_brw, frm_calvo, frm_dm, frm_fn};
    for (std::size_t i = 0; i < std::size(labels); ++i) {
        QFont font = labels[i]->font();
        font.setBold(family == i);
        labels[i]->setFont(font);
        labels[i]->adjustSize();
    }
}

// The COM names stay first, as stored files may name them; after them what the machine has now.
void Tpref_frm::refreshPortList() {
    const QString text = port_cmb->currentText();
    port_cmb->clear();
    for (const DiscoveredPort& port : Preferences::portChoices(host_.discoveredPorts())) {
        port_cmb->addItem(QString::fromStdString(port.path));
        if (!port.hint.empty())
            port_cmb->setItemData(port_cmb->count() - 1, QString::fromStdString(port.hint), Qt::ToolTipRole);
    }
    port_cmb->setCurrentText(text);
    // The box is narrow; the list it opens is as wide as its longest name.
    port_cmb->view()->setMinimumWidth(port_cmb->view()->sizeHintForColumn(0) + 8);
}

// The box keeps its designed width; a name longer than it shows whole in the hint.
void Tpref_frm::showPortHint() {
    const QString name = port_cmb->currentText();
    const int room = port_cmb->lineEdit()->contentsRect().width() - 4;
    const bool cut = port_cmb->lineEdit()->fontMetrics().horizontalAdvance(name) > room;
    port_cmb->setToolTip(cut ? name : QStringLiteral("Порт"));
}

void Tpref_frm::OpenPreferences(LoadResult reason) {
    refreshPortList();
    host_.LoadOptions();
    if (const auto caption = Preferences::caption(reason, host_.currentSettings().Language))
        setWindowTitle(QString::fromStdString(*caption));
    host_.SetPanelOnTop(false);
    show();
    raise();
    activateWindow();
    // Only a stored ID out of range can be in the field just filled: say so at once, not at OK.
    if (!IsValidIdText(id_byte_ed->text())) refuse(TextId::WrongId);
}

void Tpref_frm::fill(const Preferences::Values& v) {
    dvr_type_cmb->setCurrentText(QString::fromStdString(v.deviceType));
    port_cmb->setCurrentText(QString::fromStdString(v.port));
    baudrate_cmb->setCurrentText(QString::fromStdString(v.baudRate));
    id_byte_ed->setText(QString::fromStdString(v.id));
    hints_enable_chk->setChecked(v.showHints);
    always_ontop_chk->setChecked(v.alwaysOnTop);
    lang_select_cmb->setCurrentIndex(v.language < lang_select_cmb->count() ? v.language : -1);
}

Preferences::Values Tpref_frm::values() const {
    return {dvr_type_cmb->currentText().toStdString(),
            port_cmb->currentText().toStdString(),
            baudrate_cmb->currentText().toStdString(),
            id_byte_ed->text().toStdString(),
            hints_enable_chk->isChecked(),
            always_ontop_chk->isChecked(),
            lang_select_cmb->findText(lang_select_cmb->currentText(), Qt::MatchFixedString | Qt::MatchCaseSensitive)};
}

void Tpref_frm::applyPackLine(int line, const QString& shown) {
    switch (line) {
    case PackLine::PreferencesCaption:
        setWindowTitle(shown);
        break;
    case PackLine::LanguageGroup:
        grp_lang_type->setTitle(shown);
        break;
    case PackLine::DeviceTypeGroup:
        grp_hard_type->setTitle(shown);
        break;
    case PackLine::ConnectionGroup:
        grp_connect_type->setTitle(shown);
        break;
    case PackLine::IdGroup:
        grp_id->setTitle(shown);
        break;
    case PackLine::OtherSettingsGroup:
        grp_others->setTitle(shown);
        break;
    case PackLine::PortLabel:
        lbl_port->setText(shown);
        break;
    case PackLine::SpeedLabel:
        lbl_baudrate->setText(shown);
        break;
    case PackLine::IdHelp:
        lbl_id_help->setText(shown);
        break;
    case PackLine::HintsCheck:
        hints_enable_chk->setText(shown);
        break;
    case PackLine::AlwaysOnTopCheck:
        always_ontop_chk->setText(shown);
        break;
    case PackLine::OkButton:
        OK_b->setText(shown);
        break;
    case PackLine::CancelButton:
        cancel_b->setText(shown);
        break;
    default:
        return;
    }
    for (QLabel* label : {lbl_port, lbl_baudrate, lbl_id_help})
        label->adjustSize();
}

void Tpref_frm::setAlwaysOnTopUnavailable(const QString& why) {
    always_ontop_chk->setEnabled(false);
    always_ontop_chk->setToolTip(why);
}

void Tpref_frm::OK_bClick() {
    if (const auto refusal = Preferences::entryRefusal(values())) {
        refuse(refusal->text);
        return;
    }
    if (host_.confirmPreferences()) close();
}

void Tpref_frm::refuse(TextId text) {
    Messages::show(host_.text(text), host_.text(TextId::RefusalCaption));
}

void Tpref_frm::cancel_bClick() {
    if (host_.cancelPreferences()) close();
}

void Tpref_frm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    OK_b->setFocus();
    HighlightVendor();
    // Only now has the box laid out its field.
    showPortHint();
}

void Tpref_frm::closeEvent(QCloseEvent* event) {
    event->accept();
    if (host_.currentSettings().DeviceType == Settings::NoDeviceType)
        host_.ExitProgram();
    else
        host_.EnablePanel();
}

void Tpref_frm::contextMenuEvent(QContextMenuEvent* event) {
    host_.showMenu(event->globalPos());
}
