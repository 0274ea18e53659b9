#include "shell/settings.h"

#include "platform/ini.h"

namespace kv::shell {
using platform::BoolToSetting;
using platform::ReadSetting;
using platform::RealToSetting;
using platform::SettingToBool;
using platform::SettingToInt;
using platform::SettingToReal;
using platform::WriteSetting;

namespace {
const QString kInitialForm = QStringLiteral("Initialform");
const QString kOther = QStringLiteral("other");
const QString kMenu = QStringLiteral("Menu");

std::optional<int> Int(const QString& section, const QString& key, const QString& file) {
    return SettingToInt(ReadSetting(section, key, file));
}
std::optional<double> Real(const QString& section, const QString& key, const QString& file) {
    return SettingToReal(ReadSetting(section, key, file));
}
std::optional<bool> Bool(const QString& section, const QString& key, const QString& file) {
    return SettingToBool(ReadSetting(section, key, file));
}
// An empty value takes `fallback`; an unreadable one leaves `current`.
template <class T, class Convert>
T ReadOr(const QString& section, const QString& key, const QString& file, const QString& emptyMeans,
         T current, Convert convert) {
    QString text = ReadSetting(section, key, file);
    if (text.isEmpty()) text = emptyMeans;
    auto value = convert(text);
    return value ? static_cast<T>(*value) : current;
}
QString ColumnKey(int view, int n) {
    return QStringLiteral("col%1-%2").arg(view).arg(n);
}
void WriteInt(const QString& s, const QString& k, long long v, const QString& f) {
    WriteSetting(s, k, QString::number(v), f);
}
} // namespace

ColumnSettings ColumnSettings::Design() {
    ColumnSettings c;
    for (int i = 0; i < kColumnCount; ++i) {
        c.position[i] = i + 1;
        c.width[i] = i < 7 ? 1440 : 0; // one inch; the hidden columns have no width
    }
    return c;
}

WindowGeometryValues ReadWindowGeometry(const QString& file, ScreenTwips screen) {
    WindowGeometryValues g;
    g.top = Int(kInitialForm, QStringLiteral("top"), file).value_or(0);
    g.left = Int(kInitialForm, QStringLiteral("left"), file).value_or(0);
    g.height = Int(kInitialForm, QStringLiteral("Height"), file).value_or(0);
    g.width = Int(kInitialForm, QStringLiteral("Width"), file).value_or(0);
    if (g.top > screen.height - 100 || g.top < -500) g.top = 0;
    if (g.left > screen.width - 100 || g.left < -500) g.left = 0;
    if (g.height < 500) g.height = 4500;
    if (g.width < 500) g.width = 6500;
    g.maximized = Bool(kOther, QStringLiteral("Maximize"), file).value_or(false);
    return g;
}

int ReadForeColor(const QString& file) {
    int index = ReadOr(QStringLiteral("Color"), QStringLiteral("ForeColor"), file, QStringLiteral("0"), 0,
                       SettingToInt);
    // Outside the menu's items no item is checked and the display is white, as the number the
    // settings file keeps for "none checked" says.
    return index >= 0 && index <= 8 ? index : kNoForeColorItem;
}

bool ReadShutter(const QString& file) {
    return Bool(kOther, QStringLiteral("Shutter"), file).value_or(false);
}

SeparatorPositionsValues ReadSeparators(const QString& file) {
    SeparatorPositionsValues s;
    s.sep1 = Real(kInitialForm, QStringLiteral("Sep1"), file).value_or(0);
    s.sep2 = Real(kInitialForm, QStringLiteral("Sep2"), file).value_or(0);
    if (!(s.sep1 > 100) && !(s.sep2 > 100)) s = {2000, 4000};
    return s;
}

bool ReadExplorerShown(const QString& file) {
    return Bool(kOther, QStringLiteral("ExplorTree"), file).value_or(false);
}

void ReadColumnSettings(const QString& file, ColumnSettings& view0, ColumnSettings& view1) {
    ColumnSettings* views[2] = {&view0, &view1};
    for (int n = 1; n <= kColumnCount; ++n)
        for (int v = 0; v < 2; ++v)
            if (auto pos = Int(QStringLiteral("colpos"), ColumnKey(v, n), file);
                pos && *pos >= 1 && *pos <= kColumnCount)
                views[v]->position[n - 1] = *pos;
    for (int n = 1; n <= kColumnCount; ++n) {
        for (int v = 0; v < 2; ++v) {
            double& width = views[v]->width[n - 1];
            if (n >= 8) {
                width = 0;
                continue;
            }
            if (auto w = Real(QStringLiteral("colwidth"), ColumnKey(v, n), file)) width = *w;
            if (width < 200) width = 2000;
        }
    }
}

QString ReadInitialList(const QString& file) {
    return ReadSetting(kOther, QStringLiteral("InitialList"), file);
}

PlayModeChecks ReadPlayModes(const QString& file, PlayModeChecks current) {
    PlayModeChecks m = current;
    m.general = Bool(kMenu, QStringLiteral("IDMGeneralPlay"), file).value_or(m.general);
    m.continuous = Bool(kMenu, QStringLiteral("IDMContinuePlay"), file).value_or(m.continuous);
    m.random = Bool(kMenu, QStringLiteral("IDMRandomPlay"), file).value_or(m.random);
    if (!m.general && !m.continuous && !m.random) m.continuous = true;
    // A hand-edited file may check several; the first checked wins, as the menu is one radio group.
    if (m.general)
        m.continuous = m.random = false;
    else if (m.continuous)
        m.random = false;
    return m;
}

bool ReadWordsChecked(const QString& file) {
    return ReadOr(kMenu, QStringLiteral("IDMWords"), file, QStringLiteral("True"), true, SettingToBool);
}

int ReadBarType(const QString& file) {
    int type = ReadOr(kOther, QStringLiteral("BarType"), file, QStringLiteral("2"), 2, SettingToInt);
    return type >= 1 && type <= 5 ? type : 2;
}

StealthSizeValues ReadStealthSize(const QString& file) {
    StealthSizeValues s;
    s.width = Int(kOther, QStringLiteral("StelsWidth"), file).value_or(0);
    s.height = Int(kOther, QStringLiteral("StelsHeight"), file).value_or(0);
    if (s.width < 4100) s.width = 4100;
    if (s.height < 4000) s.height = 4000;
    return s;
}

WindowBox ReadWindowBox(const QString& file, const QString& prefix, ScreenTwips screen) {
    WindowBox b;
    b.height = Int(kOther, prefix + QStringLiteral("Height"), file).value_or(0);
    b.width = Int(kOther, prefix + QStringLiteral("Width"), file).value_or(0);
    const std::optional<int> left = Int(kOther, prefix + QStringLiteral("Left"), file);
    const std::optional<int> top = Int(kOther, prefix + QStringLiteral("Top"), file);
    b.left = left.value_or(0);
    b.top = top.value_or(0);
    b.placed = left && top;
    b.state = Int(kOther, prefix + QStringLiteral("State"), file).value_or(0);
    if (b.height <= 500) b.height = 4000;
    if (b.width <= 500) b.width = 4000;
    // A placement off the screen (a monitor that is gone) comes back at the screen's edge.
    if (b.left > screen.width || b.left < -50 || b.top > screen.height || b.top < -50) {
        b.left = b.top = 0;
        b.placed = false;
    }
    if (b.state < 0 || b.state > 2) b.state = 0;
    return b;
}

QString ReadConversionFolder(const QString& file) {
    return ReadSetting(QStringLiteral("Encode"), QStringLiteral("SaveDir"), file);
}

void SaveSettings(const SettingsSnapshot& v, const QString& f) {
    platform::SettingsBatch batch(f);
    WriteSetting(kInitialForm, QStringLiteral("top"), RealToSetting(v.window.top), f);
    WriteSetting(kInitialForm, QStringLiteral("left"), RealToSetting(v.window.left), f);
    WriteSetting(kInitialForm, QStringLiteral("Height"), RealToSetting(v.window.height), f);
    WriteSetting(kInitialForm, QStringLiteral("Width"), RealToSetting(v.window.width), f);
    WriteSetting(kInitialForm, QStringLiteral("Sep1"), RealToSetting(v.separators.sep1), f);
    WriteSetting(kInitialForm, QStringLiteral("Sep2"), RealToSetting(v.separators.sep2), f);
    if (v.treeBuilt) WriteSetting(kOther, QStringLiteral("InitialDir"), v.treePath, f);
    WriteSetting(kOther, QStringLiteral("InitialList"), v.initialList, f);
    for (int n = 1; n <= kColumnCount; ++n) {
        WriteInt(QStringLiteral("colwidth"), ColumnKey(0, n), qRound64(v.view0.width[n - 1]), f);
        WriteInt(QStringLiteral("colwidth"), ColumnKey(1, n), qRound64(v.view1.width[n - 1]), f);
    }
    for (int n = 1; n <= kColumnCount; ++n) {
        WriteInt(QStringLiteral("colpos"), ColumnKey(0, n), v.view0.position[n - 1], f);
        WriteInt(QStringLiteral("colpos"), ColumnKey(1, n), v.view1.position[n - 1], f);
    }
    WriteSetting(kMenu, QStringLiteral("IDMGeneralPlay"), BoolToSetting(v.playModes.general), f);
    WriteSetting(kMenu, QStringLiteral("IDMContinuePlay"), BoolToSetting(v.playModes.continuous), f);
    WriteSetting(kMenu, QStringLiteral("IDMRandomPlay"), BoolToSetting(v.playModes.random), f);
    WriteSetting(kMenu, QStringLiteral("IDMWords"), BoolToSetting(v.wordsChecked), f);
    WriteInt(QStringLiteral("Color"), QStringLiteral("ForeColor"), v.foreColor, f);
    WriteInt(kOther, QStringLiteral("BarType"), v.barType, f);
    WriteSetting(kOther, QStringLiteral("Shutter"), BoolToSetting(v.shutterClosed), f);
    WriteSetting(kOther, QStringLiteral("ExplorTree"), BoolToSetting(v.explorerShown), f);
    WriteInt(kOther, QStringLiteral("StelsHeight"), v.stealthSize.height, f);
    // Spelled as it always has been; keys match without regard to case.
    WriteInt(kOther, QStringLiteral("Stelswidth"), v.stealthSize.width, f);
    WriteSetting(QStringLiteral("Encode"), QStringLiteral("SaveDir"), v.conversionFolder, f);
    const WindowBox* boxes[2] = {&v.movieWindow, &v.wordsWindow};
    const QString prefixes[2] = {QStringLiteral("Movie"), QStringLiteral("Words")};
    for (int i = 0; i < 2; ++i) {
        WriteInt(kOther, prefixes[i] + QStringLiteral("Height"), boxes[i]->height, f);
        WriteInt(kOther, prefixes[i] + QStringLiteral("Width"), boxes[i]->width, f);
        // A window never placed keeps what the file has, so the next start places it afresh.
        if (boxes[i]->placed) {
            WriteInt(kOther, prefixes[i] + QStringLiteral("Left"), boxes[i]->left, f);
            WriteInt(kOther, prefixes[i] + QStringLiteral("Top"), boxes[i]->top, f);
        }
        WriteInt(kOther, prefixes[i] + QStringLiteral("State"), boxes[i]->state, f);
    }
    WriteSetting(kOther, QStringLiteral("Maximize"), BoolToSetting(v.window.maximized), f);
}

} // namespace kv::shell
