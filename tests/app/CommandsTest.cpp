// The application's command router: the table against the command map,
// keys (each sequence once), zoom, panes, help and web page, the clipboard
// half of paste, the typing filter and the edits through real keys.
#include "ActionRotateFlip.h"
#include "ChildView.h"
#include "ClipboardImage.h"
#include "CommandIds.h"
#include "MainFrame.h"
#include "Batch.h"
#include "MessageBoxes.h"
#include "OperRotate.h"
#include "SaveSettings.h"
#include "PixmendApp.h"
#include "ScopedConfigHome.h"
#include "Soon.h"
#include "TestJpeg.h"
#include "TypingKeysFilter.h"
#include "WebAddresses.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <iterator>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

class CUrlCatcher : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { urls.push_back(url); }

public:
    std::vector<QUrl> urls;
};

// Records the messages; answers every question as told.
class CRecordingBoxes final : public IMessageBoxes {
public:
    void ShowMessage(const QString& text) override { messages.push_back(text); }
    void ShowError(const QString& text) override { errors.push_back(text); }
    bool AskQuestion(const QString&) override { return false; }
    Answer AskYesNoCancel(const QString&, const QString&) override
    {
        ++asked;
        return answer;
    }
    SaveErrorChoice AskSaveError(const QString&, const QString&) override
    {
        ++saveErrors;
        return saveErrorChoice;
    }
    bool ReportProgress(int) override { return true; }

    std::vector<QString> messages;
    std::vector<QString> errors;
    Answer answer = Answer::Cancel;
    SaveErrorChoice saveErrorChoice = SaveErrorChoice::Abort;
    int asked = 0;
    int saveErrors = 0;
};

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override { m_oldBoxes = SetMessageBoxes(&m_boxes); }
    void TearDown() override { SetMessageBoxes(m_oldBoxes); }

    QString WritePhoto(const std::string& name, int width, int height,
                       const testjpeg::EncodeParams& params = {}) const
    {
        const auto path = m_tmp / name;
        EXPECT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(testjpeg::MakePattern(width, height), params)));
        return Q(path);
    }

    // Starts the program on `photo` with its window active and the view focused.
    static void Start(CPixmendApp& app, const QStringList& args)
    {
        ASSERT_TRUE(app.InitInstance(args));
        CMainFrame* frame = app.GetMainFrame();
        frame->resize(1000, 700);
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
        frame->GetViewWidget()->setFocus();
        app.GetCommands().UpdateAll();
    }

    static void Key(CPixmendApp& app, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(app.GetMainFrame()->windowHandle(), static_cast<Qt::Key>(key), mods);
    }

    CScopedConfigHome m_config;
    testjpeg::TempDir m_tmp;
    CRecordingBoxes m_boxes;
    IMessageBoxes* m_oldBoxes = nullptr;
};

// ---- the table ----

struct MapRow {
    int id;
    const char* menu;
    const char* prompt;
    const char* keys; // portable key texts separated by "; "
};

// The command map: menu text, prompt and tooltip, keys. Items inside a popup
// carry their own part of the text ("&Horizontal" under "&Flip").
const MapRow kMap[] = {
    {57601, "&Open...\tCtrl+O", "Open an existing image\nOpen (Ctro+O)", "Ctrl+O"},
    {57602, "&Close\tCtrl+W", "Close image\nClose", "Ctrl+W"},
    {57603, "&Save\tCtrl+S", "Save the current image\nSave (Ctrl+S)", "Ctrl+S"},
    {57604, "Save &As...\tCtrl+Shift+S", "Save the current image with new name\nSave As (Ctrl+Shift+S)", "Ctrl+Shift+S"},
    {32913, "Copy to &Folder...", "Copy selected file(s) to specified folder\nCopy to Folder", ""},
    {32914, "&Move to Folder...", "Move selected file(s) to specified folder\nMove to Folder", ""},
    {33034, "&Email...\tAlt+M", "Email image(s) as attachment\nEmail (Alt+M)", "Alt+M"},
    {32871, "&Delete\tDel", "Move image(s) to Recycle Bin\nDelete (Del)", "Del"},
    {32870, "", "Delete the current image\nDelete (Shift + Del)", "Shift+Del"},
    {32917, "Select A&ll Items", "Select all items\nSelect All", ""},
    {32851, "&Previous Image\tPgUp", "Previous image in the folder\nPrevious (PgUp)", "PgUp; Shift+PgUp"},
    {32852, "&Next Image\tPgDn", "Next image in the folder\nNext (PgDn)", "PgDown; Shift+PgDown"},
    {32855, "&First Image\tHome", "First image in the folder\nFirst (Home)", "Home"},
    {32856, "&Last Image\tEnd", "Last image in the folder\nLast (End)", "End"},
    {32799, "P&references\tCtrl+P", "Edit preferences\nPreferences (Ctrl+P)", "Ctrl+P"},
    {57643, "&Undo\tCtrl+Z", "Undo the last action\nUndo (Ctrl+Z)", "Ctrl+Z; Alt+Backspace"},
    {57644, "Re&do\tCtrl+Y", "Redo the previously undone action\nRedo (Ctrl+Y)", "Ctrl+Y"},
    {32830, "&Copy\tCtrl+C", "Copy selected block to the clipboard\nCopy Selection (Ctrl+C)", "Ctrl+C"},
    {57637, "&Paste\tCtrl+V", "Insert the clipboard contents\nPaste (Ctrl+V)", "Ctrl+V; Shift+Ins"},
    {32773, "&Flip", "Flip\nFlip", ""},
    {32774, "&Horizontal\tH", "Flip image(s) horizontally\nHorizontal flip (H)", "H"},
    {32775, "&Vertical\tV", "Flip image(s) vertically\nVertical flip (V)", "V"},
    {32800, "&Left\tL", "Rotate image(s) 90° counter-clockwise\nRotate Left (L)", "L"},
    {32801, "&Right\tR", "Rotate image(s) 90° clockwise\nRotate Right (R)", "R"},
    {32802, "&180°", "Rotate image(s) 180°\nRotate 180°", ""},
    {32904, "To Orientation &Flag\tCtrl+R", "Rotate image(s) according to orientation flag\nRotate to Flag (Ctrl+R)",
     "Ctrl+R"},
    {32781, "&Drag\tD", "Drag the image\nDrag (D)", "D"},
    {57634, "&Select\tS", "Select an image fragment\nSelect (S)", "S; Ctrl+Ins"},
    {32782, "Cro&p\tC", "Crop image(s)\nCrop (C)", "C"},
    {33022, "Resize/Resample\tAlt+R", "Resize / resample image(s)\nResize/Resample (Alt+R)", "Alt+R"},
    {33039, "Brightness/Color...\tB", "Adjust Brightness/Color\nBrightness/Color (B)", "B"},
    {33041, "Grayscale", "Gray Scale", ""},
    {32812, "Red &Eye\tE", "Remove red eye\nRed Eye (E)", "E"},
    {32836, "&Text\tT", "Insert text into image(s)\nInsert Text (T)", "T"},
    {33040, "Reco&nstruct...\tCtrl+Shift+R", "Reconstruct the Image", "Ctrl+Shift+R"},
    // The main keyboard's plus key without Shift is "=" on a US layout.
    {32777, "Zoom &In\t+", "Zoom image in\nZoom In (+)", "Num++; Ctrl+Num++; +; ="},
    {32778, "Zoom &Out\t-", "Zoom image out\nZoom Out (-)", "Num+-; Ctrl+Num+-; -; Shift+-"},
    {32779, "Zoom to &Actual Size\t/", "Zoom image to actual size\nZoom to Actual Size (/)", "Num+/; /"},
    {32780, "Zoom to &Fit\t*", "Zoom image to fit the view area\nZoom to Fit (*)", "Num+*; *"},
    {32906, "Zoom to Se&lection\tZ", "Zoom to selection\nZoom to selection", ""},
    {32807, "Crop now\tEnter", "Crop currently selected image fragment\nCrop Now (Enter)", ""},
    {32815, "Apply\tEnter", "Apply red eye removal changes\nApply", ""},
    {32828, "Paste now\tEnter", "Paste block into current position\nPaste Now (Enter)", ""},
    {32837, "Insert Text\tEnter", "Insert current text to selected position\nInsert Current Text (Enter)", ""},
    {33048, "", "", "Return; Num+Enter"},
    {32808, "Cancel\tEsc", "Cancel current selection\nCancel (Esc)", "Esc"},
    {32816, "Cancel all\tEsc", "Cancel red eye changes\nCancel All (Esc)", ""},
    {32829, "Cancel\tEsc", "Cancel current paste operation\nCancel (Esc)", ""},
    {32831, "Cancel\tEsc", "Cancel current selection\nCancel (Esc)", ""},
    {32838, "Cancel\tEsc", "Cancel current text insertion\nCancel (Esc)", ""},
    {32820, "Cancel last selection\tShift + Esc", "Cancel last red eye selection\nCancel Last Selection (Shift+Esc)",
     "Shift+Esc"},
    {32839, "Edit Text and Font...", "Edit text and font settings\nEdit Text (Ctrl+T)", "Ctrl+T"},
    {32899, "", "", "Ctrl+Shift+F"},
    {32878, "", "Change Current Folder\nChange Folder", "Ctrl+Shift+O"},
    {32879, "", "Refresh Current Folder\nRefresh Folder", "F5"},
    {33023, "", "Go to Parent Folder\nUp One Level", "Backspace"},
    {33019, "Edit Macro Actions...\tCtrl+B", "", "Ctrl+B"},
    {32866, "&Pixmend Help", "Display Pixmend help\nHelp", "F1"},
    {32857, "&Web Page", "Open Pixmend Home page\nHome page", ""},
    {57664, "&About Pixmend...", "", ""},
    {57665, "E&xit", "Quit the application\nExit (Alt+F4)", ""},
    {57635, "", "Cut the selection and put it on the Clipboard\nCut (Ctrl+X)", "Ctrl+X"},
    {57642, "", "Select the whole image\nSelect all", ""},
    {57680, "", "Switch to the next window pane\nNext Pane", "F6"},
    {57681, "", "Switch back to the previous window pane\nPrevious Pane", "Shift+F6"},
    {59392, "&Toolbar", "Show or hide the toolbar\nToggle ToolBar", ""},
    {59393, "&Status Bar", "Show or hide the status bar\nToggle StatusBar", ""},
};

// Commands routed here; each has its handler.
const int kRouted[] = {32774, 32775, 32800, 32801, 32802, 32904, 33041, 57643, 57644, 32781, 57634, 32777, 32778, 32779, 32780, 32906, 32807, 32815,
                       32828, 32837, 33048, 32808, 32816, 32829, 32831, 32838, 32820, 32866, 32857,
                       57680, 57681, 57664, 57665,
                       // file commands, the other modes, the browser, preferences, macros, e-mail
                       57601, 57602, 57603, 57604, 32851, 32852, 32855, 32856, 32870, 32871, 32878,
                       32879, 32913, 32914, 33023, 57637, 32830, 32782, 32812, 32899, 32836, 33022,
                       33039, 33040, 32839, 32917, 32880, 32901, 32799, 33019, 33034};

QList<QKeySequence> Keys(const char* text)
{
    if (!*text)
        return {};
    return QKeySequence::listFromString(QString::fromUtf8(text), QKeySequence::PortableText);
}

TEST_F(CommandsTest, TableFollowsTheCommandMap)
{
    CPixmendApp app;
    Start(app, {WritePhoto("a.jpg", 64, 48)});
    const CCommandTable& table = app.GetCommands();

    for (const MapRow& row : kMap) {
        SCOPED_TRACE(row.id);
        const CommandEntry* entry = table.Entry(row.id);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->menuText, QString::fromUtf8(row.menu));
        EXPECT_EQ(entry->prompt, QString::fromUtf8(row.prompt));
        EXPECT_EQ(entry->keys, Keys(row.keys));
    }

    // The hundred macro items are routed ids; the frame names them.
    for (int id = 32919; id <= 33018; ++id)
        EXPECT_NE(table.Entry(id), nullptr) << id;
    EXPECT_EQ(table.Entry(33019 - 100 - 1), nullptr) << "no macro id before 32919";

    for (int id : kRouted) {
        SCOPED_TRACE(id);
        ASSERT_NE(table.Entry(id), nullptr);
        EXPECT_TRUE(static_cast<bool>(table.Entry(id)->handler));
    }
    app.ExitInstance(0);
}

// Every action of the window once: the frame's own and the command table's.
std::vector<QAction*> WindowActions(CPixmendApp& app)
{
    QList<QAction*> actions = app.GetMainFrame()->findChildren<QAction*>();
    actions += app.GetCommands().Actions();
    std::set<QAction*> seen;
    std::vector<QAction*> unique;
    for (QAction* a : actions)
        if (seen.insert(a).second)
            unique.push_back(a);
    return unique;
}

// Qt triggers neither of two actions that share a sequence: every key
// sequence of the window belongs to one action.
TEST_F(CommandsTest, NoKeySequenceOnTwoActions)
{
    CPixmendApp app;
    Start(app, {WritePhoto("a.jpg", 64, 48)});
    std::map<QString, int> owners;
    for (QAction* a : WindowActions(app)) {
        for (const QKeySequence& k : a->shortcuts()) {
            const QString text = k.toString(QKeySequence::PortableText);
            const auto [it, fresh] = owners.emplace(text, a->data().toInt());
            EXPECT_TRUE(fresh) << text.toStdString() << " on " << it->second << " and " << a->data().toInt();
        }
    }
    EXPECT_GT(owners.size(), 50u);
    app.ExitInstance(0);
}

// Every shortcut entry of the window (one per action and key sequence, and
// the menu bar's Alt mnemonics) as its single key combination.
std::vector<std::pair<int, QString>> WindowShortcuts(CPixmendApp& app)
{
    std::vector<std::pair<int, QString>> entries;
    for (QAction* a : WindowActions(app)) {
        for (const QKeySequence& k : a->shortcuts())
            if (k.count() == 1)
                entries.emplace_back(k[0].toCombined(), a->text());
    }
    for (QAction* menu : app.GetMainFrame()->menuBar()->actions()) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(menu->text());
        if (!mnemonic.isEmpty())
            entries.emplace_back(mnemonic[0].toCombined(), menu->text());
    }
    return entries;
}

// The key combinations one key press matches as X delivers it on a US
// layout: a shifted symbol comes with Shift and matches the symbol with the
// modifiers held, the unshifted key with them, and the symbol without Shift
// ("Shift+8" delivers "*" with Shift: "Shift+*", "Shift+8" and "*").
std::vector<std::pair<QString, std::vector<int>>> UsKeyPresses()
{
    const QString unshifted = QStringLiteral("`1234567890-=[]\\;',./");
    const QString shifted = QStringLiteral("~!@#$%^&*()_+{}|:\"<>?");
    const int named[] = {Qt::Key_Escape, Qt::Key_Tab,    Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Insert,
                         Qt::Key_Delete, Qt::Key_Home,   Qt::Key_End,       Qt::Key_PageUp, Qt::Key_PageDown,
                         Qt::Key_Left,   Qt::Key_Right,  Qt::Key_Up,        Qt::Key_Down,   Qt::Key_Space};
    std::vector<std::pair<QString, std::vector<int>>> presses;
    for (int m = 0; m < 16; ++m) {
        const int mods = (m & 1 ? int(Qt::ShiftModifier) : 0) | (m & 2 ? int(Qt::ControlModifier) : 0)
            | (m & 4 ? int(Qt::AltModifier) : 0) | (m & 8 ? int(Qt::MetaModifier) : 0);
        const auto name = [mods](int key) { return QKeySequence(key | mods).toString(QKeySequence::PortableText); };
        for (qsizetype i = 0; i < unshifted.size(); ++i) {
            const int base = unshifted[i].unicode();
            const int symbol = shifted[i].unicode();
            if (mods & Qt::ShiftModifier)
                presses.push_back({name(base), {symbol | mods, base | mods, symbol | (mods & ~int(Qt::ShiftModifier))}});
            else
                presses.push_back({name(base), {base | mods}});
        }
        for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key)
            presses.push_back({name(key), {key | mods}});
        for (int key = Qt::Key_F1; key <= Qt::Key_F12; ++key)
            presses.push_back({name(key), {key | mods}});
        for (int key : named)
            presses.push_back({name(key), {key | mods}});
    }
    return presses;
}

TEST_F(CommandsTest, NoKeyPressMatchesTwoShortcutsAtX)
{
    CPixmendApp app;
    Start(app, {WritePhoto("a.jpg", 64, 48)});
    const auto shortcuts = WindowShortcuts(app);
    const auto matches = [&](const std::vector<int>& combos) {
        QStringList hits;
        for (const auto& [combo, owner] : shortcuts)
            if (std::find(combos.begin(), combos.end(), combo) != combos.end())
                hits << QKeySequence(combo).toString(QKeySequence::PortableText) + " (" + owner + ")";
        return hits;
    };
    for (const auto& [press, combos] : UsKeyPresses()) {
        const QStringList hits = matches(combos);
        EXPECT_LE(hits.size(), 1) << press.toStdString() << ": " << hits.join(", ").toStdString();
    }
    // The keypad keys: the keypad's own binding, else the main keyboard's.
    for (const int key : {int(Qt::Key_Plus), int(Qt::Key_Minus), int(Qt::Key_Asterisk), int(Qt::Key_Slash),
                          int(Qt::Key_Enter), int(Qt::Key_0), int(Qt::Key_5), int(Qt::Key_Period)}) {
        for (const int mods : {0, int(Qt::ControlModifier), int(Qt::ShiftModifier)}) {
            QStringList hits = matches({key | mods | int(Qt::KeypadModifier)});
            if (hits.isEmpty())
                hits = matches({key | mods});
            EXPECT_LE(hits.size(), 1) << QKeySequence(key | mods | int(Qt::KeypadModifier)).toString().toStdString()
                                      << ": " << hits.join(", ").toStdString();
        }
    }
    app.ExitInstance(0);
}

// ---- zoom ----

TEST_F(CommandsTest, ZoomKeysAndTheZoomBox)
{
    CPixmendApp app;
    Start(app, {WritePhoto("a.jpg", 2000, 1500)});
    CMainFrame* frame = app.GetMainFrame();
    CChildView* view = frame->GetView();
    QComboBox* box = frame->GetZoomCombo();
    ASSERT_TRUE(box->isEnabled());

    struct Step {
        int key;
        Qt::KeyboardModifiers mods;
        int index; // expected zoom index, -1 for a fitted zoom
    };
    const Step steps[] = {
        {Qt::Key_Slash, Qt::NoModifier, 9},
        {Qt::Key_Plus, Qt::KeypadModifier, 10},
        {Qt::Key_Plus, Qt::NoModifier, 11},
        {Qt::Key_Equal, Qt::NoModifier, 12},
        {Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier, 13},
        {Qt::Key_Minus, Qt::KeypadModifier, 12},
        {Qt::Key_Minus, Qt::NoModifier, 11},
        {Qt::Key_Slash, Qt::KeypadModifier, 9},
        {Qt::Key_Asterisk, Qt::KeypadModifier, -1},
        {Qt::Key_Slash, Qt::NoModifier, 9},
        {Qt::Key_Asterisk, Qt::NoModifier, -1},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(QKeySequence(s.key | s.mods).toString().toStdString());
        Key(app, s.key, s.mods);
        EXPECT_EQ(view->ZoomIndex(), s.index);
        if (s.index >= 0) {
            EXPECT_EQ(view->Zoom(), kZoomTable[s.index]);
            EXPECT_EQ(box->currentText(), box->itemText(s.index));
        } else {
            EXPECT_LT(view->Zoom(), 256u);
            EXPECT_EQ(box->currentText(), QString::number(view->Zoom() * 100 / 256) + "%");
        }
    }
    Key(app, Qt::Key_Slash);
    EXPECT_EQ(box->currentText(), "100%");

    // Keys typed into the box are the box's: no zoom, no crop, no next image.
    view->ZoomToFit(false);
    const unsigned fitted = view->Zoom();
    int applied = 0;
    ASSERT_TRUE(app.GetCommands().SetHandler(ID_APPLY_NOW, [&] { ++applied; }));
    ASSERT_TRUE(app.GetCommands().SetHandler(ID_FILE_NEXT_IMAGE, [&] { ++applied; }));
    app.GetCommands().UpdateAll();
    box->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), box);
    ASSERT_EQ(box->findText(box->currentText()), -1) << "a fitted zoom that is no list entry";
    for (int key : {int('2'), int(Qt::Key_Plus), int(Qt::Key_Slash), int(Qt::Key_Return), int(Qt::Key_Escape),
                    int(Qt::Key_D), int(Qt::Key_Enter)}) {
        Key(app, key);
        EXPECT_EQ(view->Zoom(), fitted) << key;
        EXPECT_EQ(view->ZoomIndex(), -1) << key;
    }
    // PgDn steps through the box's list, as the list's own keys do; it is
    // not the Next Image key there.
    Key(app, Qt::Key_PageDown);
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(box->currentText(), box->itemText(view->ZoomIndex()));
    // Back in the view the same keys are commands again.
    view->setFocus();
    Key(app, Qt::Key_Return);
    EXPECT_EQ(applied, 1);
    app.ExitInstance(0);
}

TEST(TypingKeysFilterTest, FieldsThatTakeTyping)
{
    QLineEdit line;
    QLineEdit readOnly;
    readOnly.setReadOnly(true);
    QComboBox editable;
    editable.setEditable(true);
    QComboBox list;
    QSpinBox spin;
    QWidget plain;
    EXPECT_TRUE(CTypingKeysFilter::TakesTyping(&line));
    EXPECT_FALSE(CTypingKeysFilter::TakesTyping(&readOnly));
    EXPECT_TRUE(CTypingKeysFilter::TakesTyping(&editable));
    EXPECT_FALSE(CTypingKeysFilter::TakesTyping(&list));
    EXPECT_TRUE(CTypingKeysFilter::TakesTyping(&spin));
    EXPECT_FALSE(CTypingKeysFilter::TakesTyping(&plain));

    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        bool typing;
    } keys[] = {
        {Qt::Key_A, Qt::NoModifier, true},     {Qt::Key_A, Qt::ShiftModifier, true},
        {Qt::Key_Return, Qt::NoModifier, true}, {Qt::Key_Escape, Qt::NoModifier, true},
        {Qt::Key_PageUp, Qt::NoModifier, true}, {Qt::Key_Delete, Qt::ShiftModifier, true},
        {Qt::Key_Z, Qt::ControlModifier, false}, {Qt::Key_R, Qt::AltModifier, false},
        {Qt::Key_F1, Qt::NoModifier, false},    {Qt::Key_F6, Qt::ShiftModifier, false},
    };
    for (const auto& k : keys) {
        const QKeyEvent event(QEvent::ShortcutOverride, k.key, k.mods);
        EXPECT_EQ(CTypingKeysFilter::IsTypingKey(event), k.typing) << k.key;
    }
}

// ---- panes ----

TEST_F(CommandsTest, F6MovesTheFocusBetweenBrowserAndView)
{
    {
        CPixmendApp app;
        Start(app, {WritePhoto("a.jpg", 64, 48)});
        CMainFrame* frame = app.GetMainFrame();
        QWidget* view = frame->GetViewWidget();
        QWidget* browser = frame->GetBrowserView();
        ASSERT_EQ(QApplication::focusWidget(), view);
        Key(app, Qt::Key_F6);
        EXPECT_TRUE(QApplication::focusWidget() == browser || browser->isAncestorOf(QApplication::focusWidget()));
        Key(app, Qt::Key_F6);
        EXPECT_EQ(QApplication::focusWidget(), view);
        Key(app, Qt::Key_F6, Qt::ShiftModifier);
        EXPECT_NE(QApplication::focusWidget(), view);
        Key(app, Qt::Key_F6, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), view);
        app.ExitInstance(0);
    }
    {
        CPixmendApp app;
        Start(app, {"-nb", WritePhoto("b.jpg", 64, 48)});
        EXPECT_FALSE(app.GetCommands().Query(ID_NEXT_PANE).m_bEnabled);
        EXPECT_FALSE(app.GetCommands().Query(ID_PREV_PANE).m_bEnabled);
        Key(app, Qt::Key_F6);
        EXPECT_EQ(QApplication::focusWidget(), app.GetMainFrame()->GetViewWidget());
        app.ExitInstance(0);
    }
}

// ---- help and web page ----

TEST(HelpPathTest, ExtensionOfTheFileNameOnly)
{
    const struct {
        const char* program;
        const char* help;
    } cases[] = {
        {"/usr/bin/Pixmend", "/usr/bin/Pixmend.chm"},
        {"/opt/pixmend/Pixmend.bin", "/opt/pixmend/Pixmend.chm"},
        {"/home/u/.local/bin/Pixmend", "/home/u/.local/bin/Pixmend.chm"},
        {"/home/u/my.apps/Pixmend.x.y", "/home/u/my.apps/Pixmend.x.chm"},
        {"/home/u/bin/.hidden", "/home/u/bin/.hidden.chm"},
        {"Pixmend", "Pixmend.chm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CPixmendApp::HelpFilePath(QString::fromUtf8(c.program)), QString::fromUtf8(c.help)) << c.program;
}

TEST_F(CommandsTest, HelpOpensTheHelpFileOrSaysItCannot)
{
    CUrlCatcher files;
    CUrlCatcher pages;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &files, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &pages, "open");
    CPixmendApp app;
    app.GetCommands().UpdateAll();

    const QString help = CPixmendApp::HelpFilePath(QCoreApplication::applicationFilePath());
    QFile::remove(help);
    EXPECT_TRUE(app.GetCommands().Execute(ID_HELP_CONTENTS));
    EXPECT_TRUE(files.urls.empty());
    ASSERT_EQ(m_boxes.errors.size(), 1u);
    EXPECT_EQ(m_boxes.errors[0], "Could not display help.");

    {
        QFile file(help);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_TRUE(app.GetCommands().Execute(ID_HELP_CONTENTS));
    QFile::remove(help);
    ASSERT_EQ(files.urls.size(), 1u);
    EXPECT_EQ(files.urls[0], QUrl::fromLocalFile(help));
    EXPECT_EQ(m_boxes.errors.size(), 1u);

    EXPECT_TRUE(app.GetCommands().Execute(ID_HELP_WEB_PAGE));
    ASSERT_EQ(pages.urls.size(), 1u);
    EXPECT_EQ(pages.urls[0], QUrl(QString::fromLatin1(kHomePageAddress)));

    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

// ---- paste: the clipboard half ----

TEST(ClipboardImageTest, PicturesBecomeBgrBitmaps)
{
    QImage picture(5, 3, QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            picture.setPixel(x, y, qRgb(10 * x + 1, 20 * y + 2, x * y + 3));
    CDib24 dib;
    ASSERT_TRUE(CClipboardImage::ToDib(picture, &dib));
    ASSERT_EQ(dib.Width(), 5);
    ASSERT_EQ(dib.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const BYTE* p = dib.Row(y) + x * 3;
            EXPECT_EQ(p[0], x * y + 3);
            EXPECT_EQ(p[1], 20 * y + 2);
            EXPECT_EQ(p[2], 10 * x + 1);
        }

    // An empty picture leaves the bitmap as it was.
    EXPECT_FALSE(CClipboardImage::ToDib(QImage(), &dib));
    EXPECT_FALSE(CClipboardImage::ToDib(QImage(0, 4, QImage::Format_RGB32), &dib));
    EXPECT_EQ(dib.Width(), 5);
}

TEST_F(CommandsTest, PasteTakesTheClipboardPicture)
{
    CPixmendApp app;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    EXPECT_SOON(!app.HasClipboardImage());
    EXPECT_FALSE(app.TakeClipboardBitmap());
    EXPECT_TRUE(app.GetPasteBitmap().IsNull());

    QImage first(7, 4, QImage::Format_RGB32);
    first.fill(qRgb(200, 100, 50));
    clipboard->setImage(first);
    EXPECT_SOON(app.HasClipboardImage());
    ASSERT_TRUE(app.TakeClipboardBitmap());
    EXPECT_EQ(app.GetPasteBitmap().Width(), 7);
    EXPECT_EQ(app.GetPasteBitmap().Height(), 4);
    EXPECT_EQ(app.GetPasteBitmap().Row(3)[6 * 3 + 0], 50);
    EXPECT_EQ(app.GetPasteBitmap().Row(3)[6 * 3 + 2], 200);

    // A second paste replaces (and frees) the first.
    QImage second(3, 9, QImage::Format_RGB888);
    second.fill(qRgb(1, 2, 3));
    clipboard->setImage(second);
    ASSERT_TRUE(app.TakeClipboardBitmap());
    EXPECT_EQ(app.GetPasteBitmap().Width(), 3);
    EXPECT_EQ(app.GetPasteBitmap().Height(), 9);
    EXPECT_EQ(app.GetPasteBitmap().Row(8)[0], 3);

    // Text on the clipboard: the flag drops, the bitmap stays.
    clipboard->setText(QStringLiteral("not a picture"));
    EXPECT_SOON(!app.HasClipboardImage());
    EXPECT_FALSE(app.TakeClipboardBitmap());
    EXPECT_EQ(app.GetPasteBitmap().Width(), 3);
    clipboard->clear();
}

// ---- the Edit menu ----

TEST_F(CommandsTest, EditMenuWithAnImageScreenshot)
{
    CPixmendApp app;
    Start(app, {WritePhoto("a.jpg", 320, 240)});
    CMainFrame* frame = app.GetMainFrame();
    QMenu* edit = nullptr;
    for (QAction* a : frame->menuBar()->actions())
        if (a->text() == "&Edit")
            edit = a->menu();
    ASSERT_NE(edit, nullptr);
    frame->menuBar()->setActiveAction(edit->menuAction());
    EXPECT_SOON(edit->isVisible());

    std::map<int, bool> enabled;
    for (QAction* a : edit->actions())
        enabled[a->data().toInt()] = a->isEnabled();
    EXPECT_FALSE(enabled[ID_EDIT_UNDO]) << "nothing to undo yet";
    EXPECT_TRUE(enabled[ID_EDIT_DRAG]);
    EXPECT_TRUE(enabled[ID_EDIT_SELECT]);

    QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
    EXPECT_TRUE(edit->grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/edit-menu.png")));
    edit->close();
    app.ExitInstance(0);
}

// ---- edits through the keys ----

std::vector<short> Coefficients(CPixmendApp& app)
{
    short* data = nullptr;
    int count = 0;
    app.m_image.GetLibraryObject()->GetCoefficients(&data, &count);
    return data && count > 0 ? std::vector<short>(data, data + count) : std::vector<short>();
}

bool Modified(CPixmendApp& app)
{
    return app.GetMainFrame()->windowTitle().endsWith(" *");
}

// A test photo copied next to the test's files (saves never touch the original).
QString CorpusCopy(const testjpeg::TempDir& tmp, const std::string& name)
{
    const auto target = tmp / name;
    EXPECT_TRUE(std::filesystem::copy_file(testjpeg::CorpusFile(name), target)) << name;
    return Q(target);
}

TEST_F(CommandsTest, UndoAndRedoKeysRestoreTheCoefficients)
{
    CPixmendApp app;
    Start(app, {CorpusCopy(m_tmp, "gox_orient6.jpg")});
    ASSERT_TRUE(app.m_image.IsLoaded());
    const std::vector<short> original = Coefficients(app);
    ASSERT_FALSE(original.empty());
    EXPECT_FALSE(app.GetCommands().Query(ID_EDIT_UNDO).m_bEnabled);
    EXPECT_FALSE(app.GetCommands().Query(ID_EDIT_REDO).m_bEnabled);

    RotateParams turn;
    turn.Rotate = 1;
    ASSERT_TRUE(app.m_image.GetUndoMan()->AddAction(new CActionRotateFlip(turn)));
    app.GetMainFrame()->RefreshAfterCommand();
    const std::vector<short> turned = Coefficients(app);
    ASSERT_NE(turned, original);
    EXPECT_TRUE(Modified(app));

    Key(app, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Coefficients(app), original);
    EXPECT_FALSE(Modified(app));
    EXPECT_TRUE(app.m_image.HasDib());
    EXPECT_FALSE(app.GetCommands().Query(ID_EDIT_UNDO).m_bEnabled);

    Key(app, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Coefficients(app), turned);
    EXPECT_TRUE(Modified(app));
    EXPECT_TRUE(app.m_image.HasDib());

    Key(app, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(Coefficients(app), original);
    EXPECT_FALSE(Modified(app));
    app.ExitInstance(0);
}

// 4:2:2 blocks are 16 x 8; a quarter turn makes them 8 x 16 and its undo
// makes them 16 x 8 again. A selection drawn afterwards snaps to the grid of
// the moment.
TEST_F(CommandsTest, SelectionSnapsToTheGridAfterATurnAndItsUndo)
{
    CPixmendApp app;
    Start(app, {CorpusCopy(m_tmp, "syn_422_256x128.jpg")});
    CChildView* view = app.GetMainFrame()->GetView();
    ASSERT_EQ(view->McuWidth(), 16);
    ASSERT_EQ(view->McuHeight(), 8);
    view->ZoomActual();

    const auto drawSelection = [&] {
        app.SetMode(ID_EDIT_CROP);
        QWidget* vp = view->viewport();
        const auto client = [&](int x, int y) { return QPoint(view->OriginX() + x, view->OriginY() + y); };
        QTest::mouseMove(vp, client(5, 5));
        QTest::mousePress(vp, Qt::LeftButton, {}, client(5, 5));
        QTest::mouseMove(vp, client(40, 40));
        QTest::mouseMove(vp, client(75, 75));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, client(75, 75));
        EXPECT_TRUE(view->IsSelectionShown());
        const auto& s = view->Host().Selection();
        return QRect(QPoint(s.Left, s.Top), QPoint(s.Right, s.Bottom));
    };

    RotateParams turn;
    turn.Rotate = 1;
    ASSERT_TRUE(app.m_image.GetUndoMan()->AddAction(new CActionRotateFlip(turn)));
    EXPECT_EQ(view->McuWidth(), 8);
    EXPECT_EQ(view->McuHeight(), 16);
    QRect r = drawSelection();
    EXPECT_EQ(r.left() % 8, 0);
    EXPECT_EQ(r.top() % 16, 0);
    EXPECT_EQ(r.top(), 0) << "5 rounds down on a 16-pixel grid";

    app.SetMode(ID_EDIT_DRAG);
    Key(app, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(view->McuWidth(), 16);
    EXPECT_EQ(view->McuHeight(), 8);
    r = drawSelection();
    EXPECT_EQ(r.left() % 16, 0);
    EXPECT_EQ(r.top() % 8, 0);
    EXPECT_EQ(r.top(), 8) << "5 rounds up on an 8-pixel grid";
    app.ExitInstance(0);
}

TEST_F(CommandsTest, DragKeyKeepsTheSelectionAndEscCancelsIt)
{
    CPixmendApp app;
    Start(app, {WritePhoto("a.jpg", 320, 240)});
    CChildView* view = app.GetMainFrame()->GetView();
    view->ZoomActual();
    ASSERT_EQ(app.GetCurrentModeId(), ID_EDIT_DRAG);
    EXPECT_TRUE(app.GetCommands().Action(ID_EDIT_DRAG)->isChecked());

    // D in the default mode is nothing, not even a cancel.
    view->SetSelectionShown(true);
    Key(app, Qt::Key_D);
    EXPECT_TRUE(view->IsSelectionShown());
    EXPECT_EQ(app.GetCurrentModeId(), ID_EDIT_DRAG);

    // S cancels, selects, and the select mode's selection goes with Esc.
    Key(app, Qt::Key_S);
    EXPECT_EQ(app.GetCurrentModeId(), ID_EDIT_SELECT);
    EXPECT_FALSE(view->IsSelectionShown());
    EXPECT_TRUE(view->IsTimerActive(1));
    EXPECT_TRUE(app.GetCommands().Action(ID_EDIT_SELECT)->isChecked());
    EXPECT_FALSE(app.GetCommands().Action(ID_EDIT_DRAG)->isChecked());
    QWidget* vp = view->viewport();
    const QPoint a(view->OriginX() + 10, view->OriginY() + 10);
    const QPoint b(view->OriginX() + 90, view->OriginY() + 70);
    QTest::mouseMove(vp, a);
    QTest::mousePress(vp, Qt::LeftButton, {}, a);
    QTest::mouseMove(vp, b);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, b);
    ASSERT_TRUE(view->IsSelectionShown());
    EXPECT_TRUE(app.GetCommands().Query(ID_VIEW_ZOOM_SELECTION).m_bEnabled);
    Key(app, Qt::Key_Escape);
    EXPECT_FALSE(view->IsSelectionShown());
    EXPECT_EQ(app.GetCurrentModeId(), ID_EDIT_SELECT);

    // D leaves the select mode: cancel, default mode, timers stopped.
    view->SetSelectionShown(true);
    Key(app, Qt::Key_D);
    EXPECT_EQ(app.GetCurrentModeId(), ID_EDIT_DRAG);
    EXPECT_FALSE(view->IsSelectionShown());
    EXPECT_FALSE(view->IsTimerActive(1));
    app.ExitInstance(0);
}

// ---- turns and flips through the keys, against jpegtran ----

// The coefficients of a JPEG file as libjpeg reads them.
testjpeg::Coefficients FileCoefficients(const std::filesystem::path& path)
{
    return testjpeg::ReadCoefficients(testjpeg::ReadFile(path));
}

void ExpectSameCoefficients(const testjpeg::Coefficients& a, const testjpeg::Coefficients& b)
{
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    ASSERT_EQ(a.components.size(), b.components.size());
    for (size_t c = 0; c < a.components.size(); ++c) {
        EXPECT_EQ(a.components[c].h, b.components[c].h) << c;
        EXPECT_EQ(a.components[c].v, b.components[c].v) << c;
        EXPECT_TRUE(std::equal(std::begin(a.components[c].quant), std::end(a.components[c].quant),
                               std::begin(b.components[c].quant)))
            << c;
        EXPECT_TRUE(a.components[c].blocks == b.components[c].blocks) << "component " << c;
    }
}

TEST_F(CommandsTest, TurnsAndFlipsMatchJpegtranAndUndoExactly)
{
    if (!testjpeg::HaveTool("jpegtran"))
        GTEST_SKIP() << "jpegtran is not installed";
    const QString photo = CorpusCopy(m_tmp, "gox_orient6.jpg");
    CPixmendApp app;
    Start(app, {photo});
    const struct {
        int key; // 0: run the command by id
        Qt::KeyboardModifiers mods;
        int id;
        const char* jpegtran;
    } rows[] = {
        {Qt::Key_R, Qt::NoModifier, ID_EDIT_ROTATE_RIGHT, "-rotate 90"},
        {Qt::Key_R, Qt::ControlModifier, ID_EDIT_ROTATE_TO_FLAG, "-rotate 90"}, // orientation 6
        {Qt::Key_H, Qt::NoModifier, ID_EDIT_FLIP_HORIZONTAL, "-flip horizontal"},
        {Qt::Key_V, Qt::NoModifier, ID_EDIT_FLIP_VERTICAL, "-flip vertical"},
        {Qt::Key_L, Qt::NoModifier, ID_EDIT_ROTATE_LEFT, "-rotate 270"},
        {0, Qt::NoModifier, ID_EDIT_ROTATE_180, "-rotate 180"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.jpegtran);
        app.OpenImage(photo, 0);
        app.GetMainFrame()->GetViewWidget()->setFocus();
        app.GetCommands().UpdateAll();
        const std::vector<short> original = Coefficients(app);
        ASSERT_FALSE(Modified(app));
        if (row.key)
            Key(app, row.key, row.mods);
        else
            EXPECT_TRUE(app.GetCommands().Execute(row.id));
        EXPECT_TRUE(Modified(app));
        EXPECT_TRUE(app.m_image.HasDib());

        const auto ours = m_tmp / "ours.jpg";
        const auto theirs = m_tmp / "theirs.jpg";
        ASSERT_TRUE(app.m_image.Save(Q(ours)));
        ASSERT_EQ(testjpeg::Run(std::string("jpegtran -copy none -trim ") + row.jpegtran + " -outfile '" +
                                theirs.string() + "' '" + photo.toStdString() + "'"),
                  0);
        ExpectSameCoefficients(FileCoefficients(ours), FileCoefficients(theirs));
        // The save moved the image to its new file; the photo stays as it was.
        app.m_image.SetPath(photo);

        Key(app, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(Coefficients(app), original);
    }
    app.ExitInstance(0);
}

TEST_F(CommandsTest, GrayscaleFollowsTheLibrary)
{
    CPixmendApp app;
    Start(app, {CorpusCopy(m_tmp, "syn_gray_640x480.jpg")});
    ASSERT_TRUE(app.m_image.IsLoaded());
    EXPECT_FALSE(app.GetCommands().Query(ID_EDIT_GRAYSCALE).m_bEnabled);
    EXPECT_FALSE(app.GetCommands().Execute(ID_EDIT_GRAYSCALE));
    EXPECT_FALSE(Modified(app));

    app.OpenImage(WritePhoto("colour.jpg", 64, 48), 0);
    app.GetCommands().UpdateAll();
    ASSERT_TRUE(app.GetCommands().Query(ID_EDIT_GRAYSCALE).m_bEnabled);
    EXPECT_TRUE(app.GetCommands().Execute(ID_EDIT_GRAYSCALE));
    EXPECT_TRUE(Modified(app));
    EXPECT_FALSE(app.GetCommands().Query(ID_EDIT_GRAYSCALE).m_bEnabled) << "gray now";
    app.ExitInstance(0);
}

// ---- the close query ----

// The photo's pixels as the view shows them, as RGB rows.
QImage Shown(CPixmendApp& app)
{
    return app.m_image.GetDibImage()
        .copy(0, 0, app.m_image.GetWidth(), app.m_image.GetHeight())
        .convertToFormat(QImage::Format_RGB888);
}

// The file decoded as djpeg -dct int -nosmooth does, the way the view renders.
QImage Reloaded(const QString& path)
{
    const testjpeg::Pixels p = testjpeg::Decode(testjpeg::ReadFile(path.toStdString()));
    QImage image(p.width, p.height, QImage::Format_RGB888);
    for (int y = 0; y < p.height; ++y)
        std::memcpy(image.scanLine(y), p.row(y), static_cast<size_t>(p.width) * 3);
    return image;
}

void PlainSaves(CPixmendApp& app)
{
    SaveSettings& save = app.m_operSave.GetSettings();
    save.UseSaveSuffix = 0;
    save.UseDstFolder = 0;
    save.ConfirmSave = 0;
    save.AutoSave = 0;
}

TEST_F(CommandsTest, CloseQueryYesSavesWhatWasShownAndCloses)
{
    for (const bool autoSave : {false, true}) {
        SCOPED_TRACE(autoSave ? "AutoSave" : "Yes");
        const QString photo = WritePhoto(autoSave ? "b.jpg" : "a.jpg", 96, 64);
        CPixmendApp app;
        Start(app, {photo});
        PlainSaves(app);
        app.m_operSave.GetSettings().AutoSave = autoSave ? 1 : 0;
        Key(app, Qt::Key_R);
        ASSERT_TRUE(Modified(app));
        const QImage shown = Shown(app);
        ASSERT_EQ(shown.size(), QSize(64, 96));

        m_boxes.asked = 0;
        m_boxes.answer = IMessageBoxes::Answer::Yes;
        QPointer<CMainFrame> frame = app.GetMainFrame();
        EXPECT_TRUE(frame->close());
        EXPECT_EQ(m_boxes.asked, autoSave ? 0 : 1);
        EXPECT_EQ(Reloaded(photo), shown);
        EXPECT_SOON(frame.isNull());
        app.ExitInstance(0);
    }
}

TEST_F(CommandsTest, CloseQueryKeepsWindowAndEditsWithoutAWrittenFile)
{
    const struct {
        const char* name;
        IMessageBoxes::Answer answer;
        bool blocked;  // the file cannot be written
        IMessageBoxes::SaveErrorChoice choice;
        bool confirm;  // "Do you want to save the image?" answered Cancel
        int saveErrors;
    } cases[] = {
        {"Skip", IMessageBoxes::Answer::Yes, true, IMessageBoxes::SaveErrorChoice::Skip, false, 1},
        {"Abort", IMessageBoxes::Answer::Yes, true, IMessageBoxes::SaveErrorChoice::Abort, false, 1},
        {"declined", IMessageBoxes::Answer::Yes, false, IMessageBoxes::SaveErrorChoice::Abort, true, 0},
        {"Cancel", IMessageBoxes::Answer::Cancel, false, IMessageBoxes::SaveErrorChoice::Abort, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString photo = WritePhoto(std::string(c.name) + ".jpg", 96, 64);
        const std::vector<uint8_t> before = testjpeg::ReadFile(photo.toStdString());
        CPixmendApp app;
        Start(app, {photo});
        PlainSaves(app);
        app.m_operSave.GetSettings().ConfirmSave = c.confirm ? 1 : 0;
        Key(app, Qt::Key_H);
        ASSERT_TRUE(Modified(app));
        if (c.blocked)
            app.m_image.SetPath(Q(m_tmp / "no such folder" / "a.jpg"));

        m_boxes.answer = c.answer;
        m_boxes.saveErrorChoice = c.choice;
        m_boxes.saveErrors = 0;
        CMainFrame* frame = app.GetMainFrame();
        EXPECT_FALSE(frame->close());
        EXPECT_TRUE(frame->isVisible());
        EXPECT_TRUE(app.m_image.GetUndoMan()->IsModified());
        EXPECT_TRUE(Modified(app));
        EXPECT_EQ(m_boxes.saveErrors, c.saveErrors);
        EXPECT_EQ(testjpeg::ReadFile(photo.toStdString()), before);
        m_boxes.answer = IMessageBoxes::Answer::No;
        app.ExitInstance(0);
    }
}

// "-q": the save that the close query makes ends the program once.
TEST_F(CommandsTest, QuitAfterSaveWithYesSavesOnceAndExitsOnce)
{
    const QString photo = WritePhoto("a.jpg", 96, 64);
    CPixmendApp app;
    Start(app, {QStringLiteral("-q"), photo});
    PlainSaves(app);
    Key(app, Qt::Key_V);
    const QImage shown = Shown(app);
    int exits = 0;
    QObject::connect(&app.GetCommands(), &CCommandTable::commandExecuted, [&](int id) { exits += id == ID_APP_EXIT; });
    int closes = 0;
    QPointer<CMainFrame> frame = app.GetMainFrame();
    QObject::connect(frame, &QObject::destroyed, [&] { ++closes; });

    m_boxes.asked = 0;
    m_boxes.answer = IMessageBoxes::Answer::Yes;
    EXPECT_TRUE(frame->close());
    EXPECT_SOON(frame.isNull());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_boxes.asked, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_LE(exits, 1);
    EXPECT_EQ(Reloaded(photo), shown);
    app.ExitInstance(0);
}

// ---- macros ----

TEST_F(CommandsTest, HundredMacroItemsTheLastRunsAStaleIdDoesNothing)
{
    CPixmendApp app;
    Start(app, {WritePhoto("a.jpg", 64, 48)});
    std::vector<CBatch*>& batches = app.m_batches.GetBatches();
    for (CBatch* b : batches)
        delete b;
    batches.clear();
    for (int i = 0; i < 101; ++i) {
        auto* macro = new CBatch(QStringLiteral("Macro %1").arg(i + 1));
        auto* turn = dynamic_cast<COperRotate*>(app.m_operRotate.Clone());
        ASSERT_NE(turn, nullptr);
        turn->SetTransform(2, 0, 0);
        macro->GetOperations().push_back(turn);
        batches.push_back(macro);
    }

    QMenu* macros = nullptr;
    for (QAction* top : app.GetMainFrame()->menuBar()->actions())
        if (top->menu() && top->text() == "&Edit")
            for (QAction* a : top->menu()->actions())
                if (a->menu() && a->text() == "Macro Actions...")
                    macros = a->menu();
    ASSERT_NE(macros, nullptr);
    emit macros->aboutToShow();
    QList<QAction*> items;
    for (QAction* a : macros->actions())
        if (a->data().toInt() >= ID_MACRO_FIRST && a->data().toInt() <= ID_MACRO_LAST)
            items.append(a);
    ASSERT_EQ(items.size(), 100);
    EXPECT_EQ(items[99]->text(), "Macro 100");
    EXPECT_EQ(items[99]->data().toInt(), 33018);
    EXPECT_TRUE(items[99]->isEnabled());

    const std::vector<short> original = Coefficients(app);
    items[99]->trigger();
    EXPECT_TRUE(Modified(app));
    EXPECT_NE(Coefficients(app), original);
    Key(app, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Coefficients(app), original);

    // The list shrinks under items built before: their ids run nothing.
    for (size_t i = 50; i < batches.size(); ++i)
        delete batches[i];
    batches.resize(50);
    items[60]->trigger();
    items[99]->trigger();
    EXPECT_FALSE(Modified(app));
    EXPECT_EQ(Coefficients(app), original);
    app.ExitInstance(0);
}

} // namespace

#include "CommandsTest.moc"
