#include "HistoryPanel.h"

#include "app/common/Controls.h"
#include "app/common/GridWheelScroller.h"
#include "EmptyHistoryHint.h"
#include "IssueFinder.h"
#include "ManualEntry.h"

#include "changes/HistoryChange.h"
#include "import/TextImport.h"
#include "import/TypedDraw.h"

#include <QDir>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace quorvex {

namespace {

const QVector<int>& historyGridWidths() {
    static const QVector<int> widths{1200, 640, 640, 640, 640, 640};
    return widths;
}

QPushButton* makeButton(const char* name, const QString& caption, const QString& tip = {}) {
    auto* b = new QPushButton(caption);
    b->setObjectName(QLatin1String(name));
    if (!tip.isEmpty())
        b->setToolTip(tip);
    return b;
}

} // namespace

HistoryPanel::HistoryPanel(HistoryStore& store, SearchSession& session, Dialogs* dialogs,
                           QWidget* parent)
    : QWidget(parent), store_(store), session_(session), dialogs_(dialogs) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);

    // The caption reads 在下面输入 [next issue] 期历史号码: with Text1 in the gap.
    auto* issueRow = new QHBoxLayout;
    Label12 = new QLabel(QStringLiteral("在下面输入"));
    Label12->setObjectName(QStringLiteral("Label12"));
    Text1 = makeBox(QStringLiteral("Text1"), 80);
    Text1->setText(QStringLiteral("2007001"));
    auto* tail = new QLabel(QStringLiteral("期历史号码:"));
    tail->setObjectName(QStringLiteral("Label12Tail"));
    issueRow->addWidget(Label12);
    issueRow->addWidget(Text1);
    issueRow->addWidget(tail);
    issueRow->addStretch();
    v->addLayout(issueRow);
    connect(&session_, &SearchSession::nextIssueChanged, this,
            [this](qint64 issue) { Text1->setText(QString::number(issue)); });

    auto* entryRow = new QHBoxLayout;
    for (int i = 1; i <= 5; ++i) {
        auto* box = makeBox(indexed("MaskEdBox1", i), 40);
        box->setInputMask(QStringLiteral("99;_"));
        box->setAlignment(Qt::AlignCenter);
        box->setToolTip(QStringLiteral("在此补充输入最新历史号码"));
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, [this, i] { MaskEdBox1_Change(i); });
        MaskEdBox1[i] = box;
        entryRow->addWidget(box);
    }
    entryRow->addStretch();
    v->addLayout(entryRow);

    model_ = new HistoryGridModel(this);
    MSFlexGrid1 = makeGrid(QStringLiteral("MSFlexGrid1"), model_);
    MSFlexGrid1->setToolTip(QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));
    setColumnWidths(MSFlexGrid1, historyGridWidths());
    MSFlexGrid1->setMinimumWidth(twips(1200 + 5 * 640) + 24);
    v->addWidget(MSFlexGrid1, 1);
    emptyHint_ = new EmptyHistoryHint(MSFlexGrid1);
    finder_ = new IssueFinder(MSFlexGrid1, model_);
    v->addWidget(finder_);
    // A jump is the user's scrolling: later resizes no longer pull the grid to the end.
    connect(finder_, &IssueFinder::jumped, this, [this] { keepNewestInView_ = false; });
    auto* find = new QShortcut(QKeySequence::Find, this, [this] { finder_->activate(); });
    find->setContext(Qt::WindowShortcut);
    // Once the user scrolls the grid, later resizes no longer pull it to the end.
    connect(MSFlexGrid1->verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { keepNewestInView_ = false; });
    connect(MSFlexGrid1->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] {
        if (keepNewestInView_)
            scrollToNewest();
    });

    auto* buttons = new QGridLayout;
    Command21 = makeButton("Command21", QStringLiteral("历史号在线更新(&O)"),
                           QStringLiteral("从官方服务器更新历史号码"));
    cmdRdLst =
        makeButton("cmdRdLst", QStringLiteral("读取历史号文本(&W)"),
                   QStringLiteral("从历史号码文本文件中读取历史号中最后一期之后的新的历史号码"));
    Command3 = makeButton("Command3", QStringLiteral("删除最后历史(&D)"));
    Command4 = makeButton("Command4", QStringLiteral("历史号码导出文本文件(&O)"));
    Command9 = makeButton("Command9", QStringLiteral("软件设置(&T)"));
    buttons->addWidget(Command21, 0, 0);
    buttons->addWidget(cmdRdLst, 0, 1);
    buttons->addWidget(Command3, 1, 0);
    buttons->addWidget(Command9, 1, 1);
    buttons->addWidget(Command4, 2, 0, 1, 2);
    v->addLayout(buttons);
    connect(cmdRdLst, &QPushButton::clicked, this, &HistoryPanel::cmdRdLst_Click);
    connect(emptyHint_, &EmptyHistoryHint::importAsked, cmdRdLst, &QPushButton::click);
    connect(emptyHint_, &EmptyHistoryHint::updateAsked, Command21, &QPushButton::click);
}

void HistoryPanel::setWritable(bool writable) {
    for (int i = 1; i <= 5; ++i)
        MaskEdBox1[i]->setEnabled(writable);
    cmdRdLst->setEnabled(writable);
    Command3->setEnabled(writable);
    Command21->setEnabled(writable);
    emptyHint_->setWritable(writable);
}

void HistoryPanel::focusFirstEntryBox() {
    if (MaskEdBox1[1]->isEnabled())
        MaskEdBox1[1]->setFocus(Qt::OtherFocusReason);
}

bool HistoryPanel::AddHaoma(QString* error) {
    // Where the text import starts; known once the history is open.
    emptyHint_->setSampleFolder(QDir(store_.folder()).filePath(QStringLiteral("历史号码")));
    QString why;
    auto draws = store_.isOpen() ? store_.loadNumbers(&why)
                                 : std::optional<QVector<DrawNumbers>>(QVector<DrawNumbers>());
    if (draws)
        model_->setDraws(std::move(*draws));
    else if (error)
        *error = why;
    else
        dialogs_->warning(QStringLiteral("历史数据库"), why);
    setColumnWidths(MSFlexGrid1, historyGridWidths());
    keepNewestInView_ = true;
    scrollToNewest();
    return draws.has_value();
}

void HistoryPanel::scrollToNewest() {
    const int rows = model_->rowCount();
    // 40 grid rows or more (heading included): the newest draw becomes the top visible row.
    setGridTopRow(MSFlexGrid1, rows + 1 >= 40 ? rows - 1 : 0);
}

void HistoryPanel::cmdRdLst_Click() {
    const QString title = QStringLiteral("读入历史");
    const QString file =
        dialogs_->openFileName(title, QDir(store_.folder()).filePath(QStringLiteral("历史号码")),
                               QStringLiteral("文本文件 (*.txt);;历史号码副本 (*.undo)"));
    // A copy kept before a change is read as the history lines it holds.
    if (file.isEmpty() || !(file.endsWith(QLatin1String("txt"), Qt::CaseInsensitive) ||
                            file.endsWith(QLatin1String(".undo"), Qt::CaseInsensitive)))
        return;
    // The file is read first, so that the question can say what it replaces with what, and a
    // file with lines left out or holes is shown before anything changes.
    BusyCursor reading;
    const ImportPlan plan = planImport(store_, file);
    reading.release();
    if (!plan.contents.error.isEmpty()) {
        dialogs_->warning(title, plan.contents.error + historyUnchanged());
        return;
    }
    const QString question =
        QStringLiteral(
            "确实要读入最新历史号码吗？点击'确认'读入,点击'取消'放弃该操作。确要读入请保证"
            "安装目录下存在历史号码的文本文件文件。读取时可能要花费一段时间,请耐心等候！") +
        QStringLiteral("\n\n") + plan.replaceSentence();
    if (plan.clean() ? !dialogs_->question(title, question)
                     : !dialogs_->warningQuestion(
                           title, question + QStringLiteral("\n\n") + plan.faults() +
                                      QStringLiteral("\n\n点击'确认'只读入其余的行。")))
        return;

    BusyCursor busy;
    const ImportReport report = importHistory(store_, plan, session_.valueBases(),
                                              &session_.zodiacYear(), ImportFaults::Accept);
    busy.release();
    if (!report.replaced && !report.unchanged) {
        dialogs_->warning(QStringLiteral("读入历史"), report.summary());
        emit writeFailed();
        return;
    }
    if (report.replaced)
        emit historyChanged();
    dialogs_->information(QStringLiteral("读入历史"), report.summary());
}

void HistoryPanel::MaskEdBox1_KeyPress(int) {
    bolEntryDone = false;
}

std::array<QString, kPositions> HistoryPanel::entryTexts() const {
    std::array<QString, kPositions> texts;
    for (int i = 1; i <= 5; ++i)
        texts[i - 1] = MaskEdBox1[i]->displayText();
    return texts;
}

void HistoryPanel::MaskEdBox1_Change(int index) {
    if (bolEntryDone)
        return;
    if (refused_) {
        const auto texts = entryTexts();
        // A key that changed nothing in a full box is no new answer to the refusal.
        if (texts == *refused_)
            return;
        // A correction in any box tries the draw again once every box is complete.
        if (std::all_of(texts.begin(), texts.end(), entryBoxComplete)) {
            storeEnteredDraw();
            return;
        }
    }
    QLineEdit* box = MaskEdBox1[index];
    if (index == 5) {
        if (entryBoxComplete(box->displayText()))
            storeEnteredDraw();
        return;
    }
    // Only the second place is looked at: a completed box hands on to the next one.
    if (entryBoxComplete(box->displayText())) {
        QLineEdit* next = MaskEdBox1[index + 1];
        next->setFocus(Qt::OtherFocusReason);
        next->selectAll();
    }
}

void HistoryPanel::storeEnteredDraw() {
    const auto texts = entryTexts();
    const Numbers numbers = enteredNumbers(texts);
    const QString title = QStringLiteral("输入历史号码");
    if (const auto refusal = entryRefusal(numbers)) {
        refused_ = texts;
        dialogs_->warning(title, refusal->message);
        // The box to correct, its text selected: the next digit replaces it.
        QLineEdit* box = MaskEdBox1[refusal->box];
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
        return;
    }
    // Asked, not refused: the same draw twice in a row is rare but fair.
    if (const auto repeated = repeatedLastIssue(store_, numbers)) {
        const QString question =
            QStringLiteral("这组号码和上一期（第 %1 期）的号码完全相同。\n仍要保存为第 %2 期吗？")
                .arg(*repeated)
                .arg(session_.lngNextIssue());
        if (!dialogs_->confirm(title, question)) {
            refused_ = texts;
            MaskEdBox1[5]->setFocus(Qt::OtherFocusReason);
            MaskEdBox1[5]->selectAll();
            return;
        }
    }
    refused_.reset();
    // The zodiac year follows the issue shown in Text1, as typed there if it is a number.
    bool typed = false;
    const qint64 zodiacIssue = Text1->text().trimmed().toLongLong(&typed);
    QString error;
    // Stored under the issue shown; a draw stored meanwhile by another program is not passed over.
    const auto stored =
        storeTypedDraw(store_, numbers, session_.lngNextIssue(),
                       typed && zodiacIssue > 0 ? std::optional(zodiacIssue) : std::nullopt,
                       session_.valueBases(), session_.zodiacYear(), QDate::currentDate(), &error);
    if (!stored) {
        dialogs_->warning(title, error);
        emit writeFailed();
        return;
    }
    bolEntryDone = true;
    // Emptied by setText, which also forgets the typing: clear() would keep it for a box's own
    // undo to bring back.
    for (int i = 1; i <= 5; ++i)
        MaskEdBox1[i]->setText(QString());
    MaskEdBox1[1]->setFocus(Qt::OtherFocusReason);
    MaskEdBox1[1]->setCursorPosition(0);
    emit historyChanged();
}

bool HistoryPanel::eventFilter(QObject* watched, QEvent* event) {
    for (int i = 1; i <= 5; ++i) {
        if (watched != MaskEdBox1[i])
            continue;
        if (event->type() == QEvent::KeyPress) {
            MaskEdBox1_KeyPress(i);
            // Enter or Tab after one digit takes it as the number: "8" is 08, and the entry goes
            // on as after two digits (the next box, or the draw stored from the fifth).
            const int key = static_cast<QKeyEvent*>(event)->key();
            const auto modifiers = static_cast<QKeyEvent*>(event)->modifiers();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter ||
                 (key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier)))) {
                if (const auto completed = oneDigitEntry(MaskEdBox1[i]->displayText())) {
                    MaskEdBox1[i]->setText(*completed);
                    return true;
                }
            }
        }
        // A click anywhere in a box selects it, so typed digits always fill it from the left.
        if (event->type() == QEvent::MouseButtonRelease) {
            QLineEdit* box = MaskEdBox1[i];
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quorvex
