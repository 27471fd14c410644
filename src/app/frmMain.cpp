#include "frmMain.h"

#include "GridWheelScroller.h"
#include "ManualEntry.h"
#include "ResultChart.h"

#include "import/TextImport.h"

#include "history/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDate>
#include <QDir>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

namespace quorvex {

namespace {

// Column widths are given in twips; the screen has 15 twips per pixel.
int twips(int t) {
    return t / 15;
}

QString indexed(const char* name, int index) {
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

QTableView* makeGrid(const QString& name, QAbstractItemModel* model) {
    auto* grid = new QTableView;
    grid->setObjectName(name);
    grid->setModel(model);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setAlternatingRowColors(true);
    // Tab leaves the grid instead of walking through thousands of cells.
    grid->setTabKeyNavigation(false);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setHighlightSections(false);
    return grid;
}

void setColumnWidths(QTableView* grid, const QVector<int>& widthsInTwips) {
    for (int c = 0; c < widthsInTwips.size(); ++c)
        grid->setColumnWidth(c, twips(widthsInTwips[c]));
}

QLineEdit* makeBox(const QString& name, int width = 0) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    if (width > 0)
        box->setFixedWidth(width);
    return box;
}

const QStringList& kindCaptions() {
    static const QStringList captions{QStringLiteral("号码"), QStringLiteral("生肖"),
                                      QStringLiteral("头数"), QStringLiteral("尾数"),
                                      QStringLiteral("合数"), QStringLiteral("段数")};
    return captions;
}

// The busy pointer for the life of a command; a message box inside restores it first.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { release(); }
    void release() {
        if (active_)
            QApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_ = true;
};

const QVector<int>& matchGridWidths() {
    static const QVector<int> widths{1280, 800, 800, 800, 800, 800, 2800};
    return widths;
}

const QVector<int>& resultGridWidths() {
    static const QVector<int> widths{480, 680, 800, 880};
    return widths;
}

std::optional<int> parseInteger(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

} // namespace

frmMain::frmMain(const QString& folder, Dialogs* dialogs, QWidget* parent)
    : QMainWindow(parent), folder_(folder), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quorvex"));
    buildControls();
    buildMenus();
    startUp();
}

frmMain::~frmMain() = default;

// ---------------------------------------------------------------------------------------------
// Controls

void frmMain::buildControls() {
    auto* central = new QWidget;
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildHistoryPanel());
    splitter->addWidget(buildOptionsPanel());
    splitter->addWidget(buildResultsPanel());
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 0);
    splitter->setStretchFactor(2, 1);
    layout->addWidget(splitter);
    setCentralWidget(central);
    resize(1340, 700);

    wheel_ = new GridWheelScroller(this);
    for (QTableView* grid : {MSFlexGrid1, MSFlexGrid2, MSFlexGrid3})
        wheel_->addGrid(grid);
    // Once the user scrolls the history grid, later resizes no longer pull it to the end.
    connect(wheel_, &GridWheelScroller::scrolled, this, [this](QTableView* grid) {
        if (grid == MSFlexGrid1)
            keepNewestInView_ = false;
    });
    connect(MSFlexGrid1->verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { keepNewestInView_ = false; });
    connect(MSFlexGrid1->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] {
        if (keepNewestInView_)
            scrollHistoryToNewest();
    });
}

QWidget* frmMain::buildHistoryPanel() {
    auto* panel = new QWidget;
    auto* v = new QVBoxLayout(panel);
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

    historyModel_ = new HistoryGridModel(this);
    MSFlexGrid1 = makeGrid(QStringLiteral("MSFlexGrid1"), historyModel_);
    MSFlexGrid1->setToolTip(QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));
    setColumnWidths(MSFlexGrid1, {1200, 640, 640, 640, 640, 640});
    MSFlexGrid1->setMinimumWidth(twips(1200 + 5 * 640) + 24);
    v->addWidget(MSFlexGrid1, 1);

    auto* buttons = new QGridLayout;
    auto makeButton = [](const char* name, const QString& caption, const QString& tip = {}) {
        auto* b = new QPushButton(caption);
        b->setObjectName(QLatin1String(name));
        if (!tip.isEmpty())
            b->setToolTip(tip);
        return b;
    };
    Command21 = makeButton("Command21", QStringLiteral("历史号在线更新(&O)"),
                           QStringLiteral("从官方服务器更新历史号码"));
    cmdRdLst =
        makeButton("cmdRdLst", QStringLiteral("读取历史号文本(&W)"),
                   QStringLiteral("从历史号码文本文件中读取历史号中最后一期之后的新的历史号码"));
    Command3 = makeButton("Command3", QStringLiteral("删除最后历史(&D)"));
    Command4 = makeButton("Command4", QStringLiteral("历史号码导出文本文件(&O)"));
    Command9 = makeButton("Command9", QStringLiteral("软件设置(&T)"));
    for (QPushButton* later : {Command21, Command3, Command4})
        later->setEnabled(false);
    buttons->addWidget(Command21, 0, 0);
    buttons->addWidget(cmdRdLst, 0, 1);
    buttons->addWidget(Command3, 1, 0);
    buttons->addWidget(Command9, 1, 1);
    buttons->addWidget(Command4, 2, 0, 1, 2);
    v->addLayout(buttons);
    connect(Command9, &QPushButton::clicked, this, &frmMain::Command9_Click);
    connect(cmdRdLst, &QPushButton::clicked, this, &frmMain::cmdRdLst_Click);
    return panel;
}

QWidget* frmMain::buildOptionsPanel() {
    auto* panel = new QWidget;
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);

    auto makeRadio = [this](const char* name, int index, const QString& caption) {
        auto* r = new QRadioButton(caption);
        r->setObjectName(indexed(name, index));
        return r;
    };

    // 检索期选择: 上期 / 前 N 期, with the N box between the two words.
    auto* refFrame = new QGroupBox(QStringLiteral("检索期选择"));
    refFrame->setObjectName(QStringLiteral("frameRefDraw"));
    auto* refLayout = new QGridLayout(refFrame);
    Option1[3] = makeRadio("Option1", 3, QStringLiteral("上期"));
    Option1[2] = makeRadio("Option1", 2, QStringLiteral("前"));
    MaskEdBox2 = makeBox(QStringLiteral("MaskEdBox2"), 28);
    MaskEdBox2->setInputMask(QStringLiteral("9;_"));
    MaskEdBox2->setAlignment(Qt::AlignCenter);
    MaskEdBox2->installEventFilter(this);
    refLayout->addWidget(Option1[3], 0, 0, 1, 3);
    refLayout->addWidget(Option1[2], 1, 0);
    refLayout->addWidget(MaskEdBox2, 1, 1);
    refLayout->addWidget(new QLabel(QStringLiteral("期")), 1, 2);
    refLayout->setColumnStretch(3, 1);

    auto* posFrame = new QGroupBox(QStringLiteral("检索位选择"));
    posFrame->setObjectName(QStringLiteral("framePositionMode"));
    auto* posLayout = new QVBoxLayout(posFrame);
    Option1[1] = makeRadio("Option1", 1, QStringLiteral("自由位"));
    Option1[0] = makeRadio("Option1", 0, QStringLiteral("固定位"));
    posLayout->addWidget(Option1[1]);
    posLayout->addWidget(Option1[0]);

    auto* orderFrame = new QGroupBox(QStringLiteral("号码序选择"));
    orderFrame->setObjectName(QStringLiteral("frameNumberOrder"));
    auto* orderLayout = new QVBoxLayout(orderFrame);
    Option2[5] = makeRadio("Option2", 5, QStringLiteral("顺序码"));
    Option2[4] = makeRadio("Option2", 4, QStringLiteral("落地码"));
    Option2[5]->setChecked(true);
    orderLayout->addWidget(Option2[5]);
    orderLayout->addWidget(Option2[4]);

    auto* topRow = new QHBoxLayout;
    topRow->addWidget(refFrame);
    topRow->addWidget(posFrame);
    topRow->addWidget(orderFrame);
    v->addLayout(topRow);

    auto makeKindFrame = [&](const QString& caption, const char* frameName, const char* name,
                             std::array<QRadioButton*, 6>& buttons) {
        auto* frame = new QGroupBox(caption);
        frame->setObjectName(QLatin1String(frameName));
        auto* grid = new QGridLayout(frame);
        for (int k = 0; k < kKindCount; ++k) {
            buttons[k] = makeRadio(name, k, kindCaptions()[k]);
            grid->addWidget(buttons[k], k / 3, k % 3);
        }
        return frame;
    };
    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(
        makeKindFrame(QStringLiteral("搜索类型选择"), "frameSearchKind", "Option3", Option3));
    kindRow->addWidget(
        makeKindFrame(QStringLiteral("结果类型选择"), "frameResultKind", "Option4", Option4));
    v->addLayout(kindRow);

    // The three tabs over their frames; only the selected tab's frame is shown.
    TabStrip1 = new QTabBar;
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->addTab(QStringLiteral("自动历史位"));
    TabStrip1->addTab(QStringLiteral("手动输入号"));
    TabStrip1->addTab(QStringLiteral("验证指定期"));
    TabStrip1->setExpanding(false);
    v->addWidget(TabStrip1);
    auto* numberValidator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-0-9]*")), this);
    for (int f = 0; f < 3; ++f) {
        Frame2[f] = new QGroupBox;
        Frame2[f]->setObjectName(indexed("Frame2", f));
        auto* grid = new QGridLayout(Frame2[f]);
        for (int i = 1; i <= 5; ++i) {
            const int index = f == 2 ? i + 10 : i;
            QLineEdit* box = nullptr;
            QCheckBox* check = new QCheckBox(QStringLiteral("第%1位").arg(i));
            if (f == 1) {
                box = makeBox(indexed("Text22", i), 48);
                box->setValidator(numberValidator);
                box->installEventFilter(this);
                Text22[i] = box;
                check->setObjectName(indexed("Check11", i));
                Check11[i] = check;
            } else {
                box = makeBox(indexed("Text2", index), 48);
                box->setReadOnly(true);
                // Shown values only: Tab passes them by, a click still selects for copying.
                box->setFocusPolicy(Qt::ClickFocus);
                Text2[index] = box;
                check->setObjectName(indexed("Check1", index));
                Check1[index] = check;
            }
            box->setAlignment(Qt::AlignCenter);
            grid->addWidget(box, 0, i - 1, Qt::AlignHCenter);
            grid->addWidget(check, 1, i - 1, Qt::AlignHCenter);
        }
        if (f == 2) {
            // The verification issue and its "only before it" box belong to the third tab.
            auto* row = new QHBoxLayout;
            Check4 = new QCheckBox(QStringLiteral("仅检索该期前"));
            Check4->setObjectName(QStringLiteral("Check4"));
            Text4 = makeBox(QStringLiteral("Text4"), 80);
            connect(Text4, &QLineEdit::editingFinished, this, &frmMain::Text4_EditingFinished);
            row->addWidget(Text4);
            row->addWidget(Check4);
            row->addStretch();
            grid->addLayout(row, 2, 0, 1, 5);
        }
        if (f == 1) {
            // Tab follows the rows: the five typed values, then the five position boxes.
            for (int i = 1; i < 5; ++i)
                setTabOrder(Text22[i], Text22[i + 1]);
            setTabOrder(Text22[5], Check11[1]);
            for (int i = 1; i < 5; ++i)
                setTabOrder(Check11[i], Check11[i + 1]);
        }
        v->addWidget(Frame2[f]);
    }

    auto* rangeFrame = new QGroupBox(QStringLiteral("检索起止期数"));
    rangeFrame->setObjectName(QStringLiteral("frameIssueRange"));
    auto* rangeLayout = new QHBoxLayout(rangeFrame);
    Text3[0] = makeBox(QStringLiteral("Text3_0"), 80);
    Text3[1] = makeBox(QStringLiteral("Text3_1"), 80);
    rangeLayout->addWidget(new QLabel(QStringLiteral("起")));
    rangeLayout->addWidget(Text3[0]);
    rangeLayout->addWidget(new QLabel(QStringLiteral("止")));
    rangeLayout->addWidget(Text3[1]);
    rangeLayout->addStretch();
    v->addWidget(rangeFrame);

    auto* searchRow = new QHBoxLayout;
    Command1 = new QPushButton(QStringLiteral("检索(&S)"));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setMinimumHeight(40);
    auto* comboFrame = new QGroupBox(QStringLiteral("组合组位检索"));
    comboFrame->setObjectName(QStringLiteral("frameCombination"));
    auto* comboLayout = new QHBoxLayout(comboFrame);
    Label1 = new QLabel(QStringLiteral("组合位数"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Combo1 = new QComboBox;
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    // Enter takes the typed value without adding it to the list of 1..4.
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->addItems(
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    Combo1->installEventFilter(this);
    Command2 = new QPushButton(QStringLiteral("组合检索(&G)"));
    Command2->setObjectName(QStringLiteral("Command2"));
    comboLayout->addWidget(Label1);
    comboLayout->addWidget(Combo1);
    comboLayout->addWidget(Command2);
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    searchRow->addWidget(Command1, 1);
    searchRow->addWidget(comboFrame, 2);
    v->addLayout(searchRow);
    v->addStretch();

    for (int i : {0, 1, 2, 3})
        connect(Option1[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                Option1_Click(i);
        });
    for (int i : {4, 5})
        connect(Option2[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                Option2_Click(i);
        });
    for (int k = 0; k < kKindCount; ++k) {
        connect(Option3[k], &QRadioButton::toggled, this, [this, k](bool on) {
            if (on)
                Option3_Click(k);
        });
        connect(Option4[k], &QRadioButton::toggled, this, [this, k](bool on) {
            if (on)
                Option4_Click(k);
        });
    }
    connect(TabStrip1, &QTabBar::currentChanged, this, &frmMain::TabStrip1_Click);
    // A click on the tab already selected reloads its values too.
    connect(TabStrip1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == TabStrip1->currentIndex())
            TabStrip1_Click();
    });
    connect(Check4, &QCheckBox::toggled, this, &frmMain::Check4_Click);
    return panel;
}

QWidget* frmMain::buildResultsPanel() {
    auto* panel = new QSplitter(Qt::Vertical);
    panel->setChildrenCollapsible(false);

    matchModel_ =
        new TextGridModel({QStringLiteral("期号"), QStringLiteral("第1码"), QStringLiteral("第2码"),
                           QStringLiteral("第3码"), QStringLiteral("第4码"),
                           QStringLiteral("第5码"), QStringLiteral("上期开奖")},
                          this);
    MSFlexGrid2 = makeGrid(QStringLiteral("MSFlexGrid2"), matchModel_);
    MSFlexGrid2->setToolTip(QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));
    setColumnWidths(MSFlexGrid2, matchGridWidths());
    panel->addWidget(MSFlexGrid2);

    // The result grid with the chart beside it; on a narrow window the chart moves below the
    // grid so that its fifteen value labels keep room.
    auto* bottom = new QWidget;
    bottom->setObjectName(QStringLiteral("resultsArea"));
    auto* h = new QBoxLayout(QBoxLayout::LeftToRight, bottom);
    h->setContentsMargins(0, 0, 0, 0);
    resultsLayout_ = h;
    bottom->installEventFilter(this);
    resultModel_ = new TextGridModel({QStringLiteral("序号"), QStringLiteral("结果"),
                                      QStringLiteral("出现次数"), QStringLiteral("百分比")},
                                     this);
    MSFlexGrid3 = makeGrid(QStringLiteral("MSFlexGrid3"), resultModel_);
    setColumnWidths(MSFlexGrid3, resultGridWidths());
    MSFlexGrid3->setFixedWidth(twips(480 + 680 + 800 + 880) + 24);
    h->addWidget(MSFlexGrid3);
    auto* emptyChart = new QChart;
    emptyChart->setTitle(QStringLiteral("结果分布"));
    emptyChart->legend()->hide();
    chartView_ = new QChartView(emptyChart);
    chartView_->setObjectName(QStringLiteral("chartView"));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setMinimumSize(150, 150);
    chartView_->setFocusPolicy(Qt::NoFocus);
    h->addWidget(chartView_, 1);
    panel->addWidget(bottom);
    panel->setStretchFactor(0, 1);
    panel->setStretchFactor(1, 1);
    return panel;
}

void frmMain::buildMenus() {
    auto* history = menuBar()->addMenu(QStringLiteral("历史管理"));
    history->setObjectName(QStringLiteral("mnuLsgl"));
    auto addLater = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setEnabled(false); // wired by the history maintenance and export changes
        return a;
    };
    addLater(history, "mnuDcls", QStringLiteral("导出历史号码(&O)"));
    addLater(history, "mnuErase", QStringLiteral("删除最后历史(&E)"));
    addLater(history, "mnuClear", QStringLiteral("清空历史号码(&C)"));
    addLater(history, "mnuDlzd", QStringLiteral("删除到选定期(&D)"));
    addLater(history, "mnuEszhzd", QStringLiteral("删除最后指定数量期历史(&E)"));

    mnuSetup = menuBar()->addMenu(QStringLiteral("设置"));
    mnuSetup->setObjectName(QStringLiteral("mnuSetup"));
    QMenu* sx = mnuSetup->addMenu(QStringLiteral("生肖参数设置(&S)"));
    sx->setObjectName(QStringLiteral("mnuSxcsMenu"));
    QMenu* ds = mnuSetup->addMenu(QStringLiteral("段数参数设置(&A)"));
    ds->setObjectName(QStringLiteral("mnuDscsMenu"));
    for (int i = 0; i < 2; ++i) {
        mnuSxcs[i] =
            sx->addAction(i == 0 ? QStringLiteral("生肖参数0~11") : QStringLiteral("生肖参数1~12"));
        mnuSxcs[i]->setObjectName(indexed("mnuSxcs", i));
        mnuSxcs[i]->setCheckable(true);
        connect(mnuSxcs[i], &QAction::triggered, this, [this, i] { mnuSxcs_Click(i); });
        mnuDscs[i] =
            ds->addAction(i == 0 ? QStringLiteral("段数参数0~2") : QStringLiteral("段数参数1~3"));
        mnuDscs[i]->setObjectName(indexed("mnuDscs", i));
        mnuDscs[i]->setCheckable(true);
        connect(mnuDscs[i], &QAction::triggered, this, [this, i] { mnuDscs_Click(i); });
    }
    mnuSetup->addSeparator();
    QMenu* order = mnuSetup->addMenu(QStringLiteral("生肖取值设置(&Z)"));
    order->setObjectName(QStringLiteral("mnuSxsetupMenu"));
    for (int i = 0; i < 2; ++i) {
        QAction* a = order->addAction(i == 0 ? QStringLiteral("生肖数字按顺序取值")
                                             : QStringLiteral("生肖数字按年龄取值"));
        a->setObjectName(indexed("mnuSxsetup", i));
        a->setEnabled(false); // has no effect on anything
    }
    mnuSetup->addSeparator();
    mnuSetDay = mnuSetup->addAction(QStringLiteral("历史号码更新检索年(&Y)"));
    mnuSetDay->setObjectName(QStringLiteral("mnuSetDay"));
    connect(mnuSetDay, &QAction::triggered, this, &frmMain::mnuSetDay_Click);
}

// ---------------------------------------------------------------------------------------------
// Start-up

void frmMain::startUp() {
    SettingsStore settings;
    QStringList problems;
    const Settings s = settings.load(&problems);
    if (!problems.isEmpty())
        dialogs_->warning(QStringLiteral("设置"),
                          QStringLiteral("设置存储中有无法识别的值，已改用默认值：\n%1\n文件：%2")
                              .arg(problems.join(QLatin1Char('\n')), settings.fileName()));

    st_.IniSerchDay = s.IniSerchDay;
    st_.bolZyw = s.bolZyw;
    st_.bolSq = s.bolSq;
    st_.intLei = s.intLei;

    QString error;
    if (!store_.open(folder_, &error)) {
        dialogs_->warning(QStringLiteral("历史数据库"),
                          error +
                              QStringLiteral("\n程序将以空的历史运行，需要数据库的功能不可用。"));
        for (QWidget* needsHistory : std::initializer_list<QWidget*>{
                 MaskEdBox1[1], MaskEdBox1[2], MaskEdBox1[3], MaskEdBox1[4], MaskEdBox1[5],
                 Command1, Command2, cmdRdLst})
            needsHistory->setEnabled(false);
    } else {
        rsHistoryView = store_.loadView(&error);
        if (!error.isEmpty())
            dialogs_->warning(QStringLiteral("历史数据库"),
                              QStringLiteral("无法读取历史号码：%1").arg(error));
    }

    // Selecting an option button runs its click handling, as a user's click would.
    Option1[1]->setChecked(st_.bolZyw);
    Option1[0]->setChecked(!st_.bolZyw);
    Option1[3]->setChecked(st_.bolSq);
    Option1[2]->setChecked(!st_.bolSq);

    st_.intXianshiLei = s.intXianshiLei;
    st_.strResultLetter = strKindLetter(st_.intXianshiLei);
    Option4[st_.intXianshiLei]->setChecked(true);

    st_.DsIni = s.DsIni;
    st_.SxIni = s.SxIni;
    setDscsChecks();
    setSxcsChecks();

    st_.intPreQi = s.intPreQi;
    MaskEdBox2->setText(QString::number(st_.intPreQi));
    st_.intZhWSetup = s.intZhWSetup;
    showCombinedPositions();

    QihaoXianshi();
    zodiacYear_.setYear(zodiacYearFromIssueText(Text1->text(), QDate::currentDate()));

    Option3[st_.intLei]->setChecked(true);

    // Reference draw and values of the first tab.
    SetStartIssue();
    if (const auto last = rsHistoryView.last())
        Text3[1]->setText(QString::number(last->issue));
    SeekRefDraw();
    LoadRefValues();

    for (int k = 0; k < 12; ++k)
        st_.intSxValue[k] = st_.SxIni + k;

    AddHaoma();
    TabStrip1_Click(); // shows the first tab's frame only
    // Typing the newest draw is the most frequent task: the window opens in its first box.
    if (MaskEdBox1[1]->isEnabled())
        MaskEdBox1[1]->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------------------------
// Shared routines

void frmMain::AddHaoma() {
    if (store_.isOpen()) {
        QString error;
        HistoryView view = store_.loadView(&error);
        if (!error.isEmpty())
            dialogs_->warning(QStringLiteral("历史数据库"),
                              QStringLiteral("无法读取历史号码：%1").arg(error));
        else
            rsHistoryView = std::move(view);
    }
    historyModel_->setView(rsHistoryView);
    setColumnWidths(MSFlexGrid1, {1200, 640, 640, 640, 640, 640});
    keepNewestInView_ = true;
    scrollHistoryToNewest();
}

void frmMain::scrollHistoryToNewest() {
    const int rows = historyModel_->rowCount();
    // 40 grid rows or more (heading included): the newest draw becomes the top visible row.
    setGridTopRow(MSFlexGrid1, rows + 1 >= 40 ? rows - 1 : 0);
}

void frmMain::QihaoXianshi() {
    if (const auto last = rsHistoryView.last()) {
        st_.lngNextIssue = last->issue + 1;
        Text1->setText(QString::number(st_.lngNextIssue));
        Text3[1]->setText(QString::number(last->issue));
        Text4->setText(QString::number(last->issue));
    } else {
        const QString first = QString::number(QDate::currentDate().year()) + QStringLiteral("001");
        Text1->setText(first);
        st_.lngNextIssue = first.toLongLong();
        Text4->setText(QStringLiteral("0"));
    }
}

void frmMain::refreshAfterHistoryChange() {
    AddHaoma();
    QihaoXianshi();
    SeekRefDraw();
    LoadRefValues();
}

void frmMain::SeekRefDraw() {
    refPosition_ = quorvex::SeekRefDraw(rsHistoryView, st_.bolSq, st_.intPreQi);
}

void frmMain::showRefValues(int firstTextIndex) {
    for (int i = 0; i < kPositions; ++i) {
        // A value without a name under the zodiac base leaves its box as it was.
        if (const auto text = referenceValueText(st_.intLei, st_.intRefVal[i], st_.SxIni))
            Text2[firstTextIndex + i]->setText(*text);
    }
}

int frmMain::currentTab() const {
    return TabStrip1->currentIndex();
}

void frmMain::LoadRefValues() {
    switch (currentTab()) {
    case 0:
        st_.bolManual = false;
        if (const auto values = referenceValuesAt(rsHistoryView, refPosition_, st_.intLei))
            st_.intRefVal = *values;
        st_.strPosPrefix = QStringLiteral("L");
        showRefValues(1);
        break;
    case 1:
        st_.bolManual = true;
        for (int i = 1; i <= 5; ++i) {
            if (const auto v = parseInteger(Text22[i]->text()))
                st_.intRefVal[i - 1] = *v;
        }
        break;
    default:
        YSJS();
        break;
    }
}

void frmMain::YSJS() {
    const auto target = issueBefore(Text4->text());
    if (!target || rsHistoryView.isEmpty())
        return;
    const qsizetype atMost = verificationDraw(rsHistoryView, *target, true, 1);
    if (Check4->isChecked()) {
        if (atMost < 0)
            return;
        Text3[1]->setText(QString::number(rsHistoryView.rows()[atMost].issue));
    } else {
        Text3[1]->setText(QString::number(rsHistoryView.last()->issue));
        if (atMost < 0)
            return;
    }
    const qsizetype position = verificationDraw(rsHistoryView, *target, st_.bolSq, st_.intPreQi);
    const auto values = referenceValuesAt(rsHistoryView, position, st_.intLei);
    if (!values)
        return;
    st_.bolManual = false;
    st_.intRefVal = *values;
    st_.strPosPrefix = QStringLiteral("L");
    showRefValues(11);
}

void frmMain::SetStartIssue() {
    int n = 1;
    if (!st_.bolSq) {
        const auto typed = parseInteger(MaskEdBox2->text());
        if (!typed)
            return;
        n = *typed;
    }
    if (const auto start = quorvex::SetStartIssue(rsHistoryView, st_.bolSq, n))
        Text3[0]->setText(QString::number(*start));
}

// ---------------------------------------------------------------------------------------------
// Search option handlers

void frmMain::Option1_Click(int index) {
    switch (index) {
    case 0:
        st_.bolZyw = false;
        break;
    case 1:
        st_.bolZyw = true;
        break;
    case 2:
        st_.bolSq = false;
        break;
    default:
        st_.bolSq = true;
        break;
    }
    SettingsStore settings;
    settings.writeBool(QStringLiteral("bolZyw"), st_.bolZyw);
    settings.writeBool(QStringLiteral("bolSq"), st_.bolSq);
    SeekRefDraw();
    LoadRefValues();
    SetStartIssue();
}

void frmMain::Option2_Click(int) {
    // The number order is not part of any search; the click only refreshes the reference.
    SettingsStore().writeBool(QStringLiteral("bolSq"), st_.bolSq);
    SeekRefDraw();
    LoadRefValues();
}

void frmMain::Option3_Click(int index) {
    st_.intLei = index;
    SeekRefDraw();
    LoadRefValues();
    SettingsStore().writeInt(QStringLiteral("intLei"), st_.intLei);
}

void frmMain::Option4_Click(int index) {
    st_.strResultLetter = strKindLetter(index);
    st_.intXianshiLei = index;
    SettingsStore().writeInt(QStringLiteral("intXianshiLei"), st_.intXianshiLei);
}

void frmMain::TabStrip1_Click() {
    const int tab = currentTab();
    for (int f = 0; f < 3; ++f)
        Frame2[f]->setVisible(f == tab);
    Text4->setVisible(tab == 2);
    Check4->setVisible(tab == 2);
    if (tab == 0) {
        SeekRefDraw();
        LoadRefValues();
    } else if (tab == 1) {
        LoadRefValues();
    } else {
        YSJS();
    }
}

void frmMain::Text22_LostFocus(int index) {
    // A box that does not hold an integer leaves its reference value as it was.
    if (const auto v = parseInteger(Text22[index]->text()))
        st_.intRefVal[index - 1] = *v;
}

bool frmMain::Text4_EditingFinished() {
    // A verification issue typed and left, or confirmed with Enter, reloads the reference values
    // at once: otherwise a search would still use the draw before the issue shown earlier.
    if (!Text4->isModified() || currentTab() != 2)
        return true;
    Text4->setModified(false);
    const QString title = QStringLiteral("验证指定期");
    const auto target = issueBefore(Text4->text());
    if (!target) {
        dialogs_->warning(title, QStringLiteral("“%1”不是期号，参考值未改变。请输入期号，例如 "
                                                "2013050。")
                                     .arg(Text4->text()));
        return false;
    }
    if (!rsHistoryView.isEmpty() && verificationDraw(rsHistoryView, *target, true, 1) < 0) {
        dialogs_->warning(title, QStringLiteral("第 %1 期之前没有历史号码，参考值未改变。")
                                     .arg(Text4->text().trimmed()));
        return false;
    }
    YSJS();
    return true;
}

void frmMain::Check4_Click() {
    if (Check4->isChecked()) {
        if (const auto before = issueBefore(Text4->text()))
            Text3[1]->setText(QString::number(*before));
        else
            dialogs_->warning(
                QStringLiteral("仅检索该期前"),
                QStringLiteral("“%1”不是期号，请在验证期数框中输入期号，例如 2013050。")
                    .arg(Text4->text()));
    } else if (const auto last = rsHistoryView.last()) {
        Text3[1]->setText(QString::number(last->issue));
    }
}

SearchRequest frmMain::searchRequest() const {
    SearchRequest r;
    r.bolZyw = !Option1[0]->isChecked();
    r.bolSq = st_.bolSq;
    r.intPreQi = st_.intPreQi;
    r.intLei = st_.intLei;
    r.intXianshiLei = st_.intXianshiLei;
    r.bolManual = st_.bolManual;
    r.intRefVal = st_.intRefVal;
    for (int i = 1; i <= 5; ++i) {
        const QCheckBox* box = st_.bolManual       ? Check11[i]
                               : currentTab() == 0 ? Check1[i]
                                                   : Check1[i + 10];
        r.bolPosSel[i - 1] = box->isChecked();
    }
    r.startIssueText = Text3[0]->text();
    r.endIssueText = Text3[1]->text();
    r.bases = valueBases();
    return r;
}

// ---------------------------------------------------------------------------------------------
// Searches

bool frmMain::commitFocusedBox() {
    const QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return true;
    auto holds = [focus](const QWidget* box) { return box == focus || box->isAncestorOf(focus); };
    if (holds(Combo1)) {
        const QString typed = Combo1->currentText();
        Combo1_LostFocus();
        return Combo1->currentText() == typed;
    }
    if (holds(MaskEdBox2)) {
        const QString typed = MaskEdBox2->text();
        MaskEdBox2_LostFocus();
        return MaskEdBox2->text() == typed;
    }
    for (int i = 1; i <= 5; ++i)
        if (holds(Text22[i]))
            Text22_LostFocus(i);
    if (holds(Text4))
        return Text4_EditingFinished();
    return true;
}

void frmMain::Command1_Click() {
    // A shortcut key leaves the focus in the box being edited: take its text first.
    if (!commitFocusedBox())
        return;
    BusyCursor busy;
    QString error;
    const auto result = runFollowSearch(store_, searchRequest(), &error);
    busy.release();
    if (!result) {
        dialogs_->warning(QStringLiteral("检索"), error);
        return;
    }
    ShowFollowResults(*result);
}

void frmMain::Command2_Click() {
    if (!commitFocusedBox())
        return;
    const int k = st_.intZhWSetup;
    if (k < 1 || k > kPositions) {
        dialogs_->warning(QStringLiteral("组合检索"),
                          QStringLiteral("组合位数是 %1，须是1到5的整数。请在“组合位数”框中改正后"
                                         "再检索。")
                              .arg(k));
        return;
    }
    BusyCursor busy;
    QString error;
    const auto result = runCombinationSearch(store_, searchRequest(), k, &error);
    busy.release();
    if (!result) {
        dialogs_->warning(QStringLiteral("组合检索"), error);
        return;
    }
    ShowFollowResults(*result);
}

void frmMain::ShowFollowResults(const FollowResult& result) {
    // Filled while hidden, so the grids repaint once.
    MSFlexGrid2->setUpdatesEnabled(false);
    matchModel_->setContents(result.matchHeader, result.matchRows);
    setColumnWidths(MSFlexGrid2, matchGridWidths());
    MSFlexGrid2->scrollToTop();
    MSFlexGrid2->setUpdatesEnabled(true);

    MSFlexGrid3->setUpdatesEnabled(false);
    resultModel_->setContents(result.resultHeader, result.resultRows);
    setColumnWidths(MSFlexGrid3, resultGridWidths());
    MSFlexGrid3->scrollToTop();
    MSFlexGrid3->setUpdatesEnabled(true);

    showResultChart(chartView_, result, st_.intXianshiLei);
}

// ---------------------------------------------------------------------------------------------
// Adding draws

void frmMain::cmdRdLst_Click() {
    if (!dialogs_->question(QStringLiteral("读入历史"),
                            QStringLiteral("确实要读入最新历史号码吗？点击'确认'读入,点击'取消'"
                                           "放弃该操作。确要读入请保证安装目录下存在历史号码的文本"
                                           "文件文件。读取时可能要花费一段时间,请耐心等候！")))
        return;
    const QString file = dialogs_->openFileName(QStringLiteral("读入历史"),
                                                QDir(folder_).filePath(QStringLiteral("历史号码")),
                                                QStringLiteral("Text (*.txt)"));
    if (file.isEmpty() || !file.endsWith(QLatin1String("txt"), Qt::CaseInsensitive)) {
        QihaoXianshi();
        return;
    }

    BusyCursor busy;
    const ImportReport report = importHistoryFile(store_, file, valueBases(), &zodiacYear_);
    if (!report.replaced) {
        busy.release();
        dialogs_->warning(QStringLiteral("读入历史"), report.summary());
        return;
    }
    AddHaoma();
    QihaoXianshi();
    // The range boxes follow the new history, not the one it replaced.
    SetStartIssue();
    SeekRefDraw();
    LoadRefValues();
    busy.release();
    dialogs_->information(QStringLiteral("读入历史"), report.summary());
}

void frmMain::MaskEdBox1_KeyPress(int) {
    bolEntryDone = false;
}

void frmMain::MaskEdBox1_Change(int index) {
    if (bolEntryDone)
        return;
    QLineEdit* box = MaskEdBox1[index];
    if (index == 5) {
        if (!entryBoxComplete(box->displayText()))
            return;
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

void frmMain::storeEnteredDraw() {
    std::array<QString, kPositions> texts;
    for (int i = 1; i <= 5; ++i)
        texts[i - 1] = MaskEdBox1[i]->displayText();
    const Numbers numbers = enteredNumbers(texts);
    const QString title = QStringLiteral("输入历史号码");
    if (const QString problem = enteredDrawProblem(numbers); !problem.isEmpty()) {
        dialogs_->warning(title, problem);
        return;
    }

    QString error;
    const std::optional<StoredDraw> previous = store_.lastDraw(&error);
    if (!error.isEmpty()) {
        dialogs_->warning(title, QStringLiteral("无法读取最后一期历史号码，未保存：%1").arg(error));
        return;
    }
    // The zodiac year follows the issue shown in Text1, as typed there if it is a number.
    bool typedIssue = false;
    qint64 zodiacIssue = Text1->text().trimmed().toLongLong(&typedIssue);
    if (!typedIssue || zodiacIssue <= 0)
        zodiacIssue = st_.lngNextIssue;
    std::optional<DrawAttributes> previousAttributes;
    if (previous)
        previousAttributes = previous->attributes;
    if (!store_.AppendDraw(st_.lngNextIssue, numbers, zodiacIssue, previousAttributes, valueBases(),
                           zodiacYear_, &error)) {
        dialogs_->warning(title,
                          QStringLiteral("第 %1 期未保存：%2").arg(st_.lngNextIssue).arg(error));
        return;
    }

    bolEntryDone = true;
    for (int i = 1; i <= 5; ++i)
        MaskEdBox1[i]->clear();
    MaskEdBox1[1]->setFocus(Qt::OtherFocusReason);
    MaskEdBox1[1]->setCursorPosition(0);
    refreshAfterHistoryChange();
}

// ---------------------------------------------------------------------------------------------
// Settings menu and boxes

void frmMain::Command9_Click() {
    // Under the mouse when the button was clicked; below the button when its access key was used.
    const QPoint mouse = QCursor::pos();
    const bool overButton = Command9->rect().contains(Command9->mapFromGlobal(mouse));
    mnuSetup->popup(overButton ? mouse : Command9->mapToGlobal(QPoint(0, Command9->height())));
}

void frmMain::setSxcsChecks() {
    for (int i = 0; i < 2; ++i)
        mnuSxcs[i]->setChecked(i == st_.SxIni);
}

void frmMain::setDscsChecks() {
    for (int i = 0; i < 2; ++i)
        mnuDscs[i]->setChecked(i == st_.DsIni);
}

void frmMain::mnuSxcs_Click(int index) {
    st_.SxIni = index;
    SettingsStore().writeInt(QStringLiteral("SxIni"), st_.SxIni);
    setSxcsChecks();
    for (int k = 0; k < 12; ++k)
        st_.intSxValue[k] = st_.SxIni + k;
}

void frmMain::mnuDscs_Click(int index) {
    st_.DsIni = index;
    SettingsStore().writeInt(QStringLiteral("DsIni"), st_.DsIni);
    setDscsChecks();
}

void frmMain::mnuSetDay_Click() {
    const QString prompt =
        QStringLiteral("请输入更新需要保留的历史号码的年数（2~"
                       "16中的任意自然数），如果超过天数将删除最早的一年的历史号码");
    for (;;) {
        const auto answer = dialogs_->inputText(QStringLiteral("设置年数"), prompt,
                                                QString::number(st_.IniSerchDay));
        if (!answer || answer->trimmed().isEmpty())
            return;
        const auto years = parseInteger(*answer);
        if (!years || *years > 16 || *years < 2) {
            dialogs_->warning(QStringLiteral("输入有误"),
                              QStringLiteral("为了保证时效性和提高计算效率，软件只能统计16年以内的"
                                             "数据，请输入2到16中的自然数。"));
            continue;
        }
        st_.IniSerchDay = *years;
        SettingsStore().writeInt(QStringLiteral("IniSerchDay"), st_.IniSerchDay);
        return;
    }
}

void frmMain::MaskEdBox2_LostFocus() {
    const auto n = parseInteger(MaskEdBox2->text());
    if (!n || *n < 1) {
        dialogs_->warning(
            QStringLiteral("前N期"),
            QStringLiteral("前N期的N须是1到9的数字，已恢复为 %1。").arg(st_.intPreQi));
        MaskEdBox2->setText(QString::number(st_.intPreQi));
        return;
    }
    st_.intPreQi = *n;
    SettingsStore().writeInt(QStringLiteral("intPreQi"), st_.intPreQi);
    SeekRefDraw();
    LoadRefValues();
    SetStartIssue();
}

void frmMain::showCombinedPositions() {
    // A value of the list selects its entry, so the opened list marks it; others are typed text.
    const QString k = QString::number(st_.intZhWSetup);
    const int entry = Combo1->findText(k);
    if (entry >= 0)
        Combo1->setCurrentIndex(entry);
    Combo1->setEditText(k);
}

void frmMain::Combo1_LostFocus() {
    const auto k = parseInteger(Combo1->currentText());
    if (!k || *k < 1 || *k > kPositions) {
        dialogs_->warning(
            QStringLiteral("组合位数"),
            QStringLiteral("组合位数须是1到5的整数，已恢复为 %1。").arg(st_.intZhWSetup));
        showCombinedPositions();
        return;
    }
    st_.intZhWSetup = *k;
    SettingsStore().writeInt(QStringLiteral("intZhWSetup"), st_.intZhWSetup);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && resultsLayout_ &&
        watched == resultsLayout_->parentWidget()) {
        // Side by side from this width on; the minimum width side by side stays below it, so
        // a window narrowed past it can still change to one above the other.
        constexpr int kChartRoomBeside = 280;
        const int width = static_cast<QResizeEvent*>(event)->size().width();
        resultsLayout_->setDirection(width >= MSFlexGrid3->width() + kChartRoomBeside
                                         ? QBoxLayout::LeftToRight
                                         : QBoxLayout::TopToBottom);
    }
    if (event->type() == QEvent::KeyPress) {
        for (int i = 1; i <= 5; ++i)
            if (watched == MaskEdBox1[i])
                MaskEdBox1_KeyPress(i);
    }
    if (event->type() == QEvent::FocusOut) {
        // Leaving the window or opening a pop-up is not leaving the box.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == MaskEdBox2)
                MaskEdBox2_LostFocus();
            else if (watched == Combo1)
                Combo1_LostFocus();
            for (int i = 1; i <= 5; ++i)
                if (watched == Text22[i])
                    Text22_LostFocus(i);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace quorvex
