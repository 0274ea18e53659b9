#include "tools/font_choice.h"

#include <QComboBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>

namespace kv::tools {
namespace {
FontChooser& Chooser() {
    static FontChooser chooser;
    return chooser;
}

// The sixteen colours a font dialog's colour list offers, with their names.
struct NamedColor {
    const char* name;
    QRgb rgb;
};
const NamedColor kColors[] = {
    {"黒", 0x000000}, {"茶", 0x800000},   {"緑", 0x008000},   {"オリーブ", 0x808000},
    {"紺", 0x000080}, {"紫", 0x800080},   {"青緑", 0x008080}, {"灰色", 0x808080},
    {"銀", 0xC0C0C0}, {"赤", 0xFF0000},   {"黄緑", 0x00FF00}, {"黄", 0xFFFF00},
    {"青", 0x0000FF}, {"赤紫", 0xFF00FF}, {"水色", 0x00FFFF}, {"白", 0xFFFFFF},
};
} // namespace

void SetFontChooser(FontChooser chooser) {
    Chooser() = std::move(chooser);
}

std::optional<WordsFont> ChooseFont(QWidget* owner, const WordsFont& preset, const QString& title) {
    if (Chooser()) return Chooser()(preset, title);
    QFontDialog dialog(preset.font, owner);
    dialog.setWindowTitle(title);
    dialog.setOption(QFontDialog::DontUseNativeDialog); // the colour list goes into its layout
    auto* colors = new QComboBox(&dialog);
    colors->setObjectName(QStringLiteral("FontColor"));
    for (const NamedColor& c : kColors) {
        QPixmap swatch(16, 12);
        swatch.fill(QColor(c.rgb));
        colors->addItem(QIcon(swatch), QString::fromUtf8(c.name), QColor(c.rgb));
    }
    int current = colors->findData(preset.color);
    if (current < 0) {
        colors->addItem(QStringLiteral("カスタム"), preset.color);
        current = colors->count() - 1;
    }
    colors->setCurrentIndex(current);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        auto* label = new QLabel(QStringLiteral("色(&C):"), &dialog);
        label->setBuddy(colors);
        grid->addWidget(label, row, 0);
        grid->addWidget(colors, row + 1, 0);
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return WordsFont{dialog.selectedFont(), colors->currentData().value<QColor>()};
}

} // namespace kv::tools
