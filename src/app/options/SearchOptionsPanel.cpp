#include "SearchOptionsPanel.h"

#include "app/common/Controls.h"

#include "analysis/SearchRequest.h"
#include "draw/AttributeKind.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace quorvex {

namespace {

QRadioButton* makeRadio(const char* name, int index, const QString& caption) {
    auto* r = new QRadioButton(caption);
    r->setObjectName(indexed(name, index));
    return r;
}

QGroupBox* makeKindFrame(const QString& caption, const char* frameName, const char* name,
                         std::array<QRadioButton*, 6>& buttons) {
    auto* frame = new QGroupBox(caption);
    frame->setObjectName(QLatin1String(frameName));
    auto* grid = new QGridLayout(frame);
    for (int k = 0; k < kKindCount; ++k) {
        buttons[k] = makeRadio(name, k, kindCaption(k));
        grid->addWidget(buttons[k], k / 3, k % 3);
    }
    return frame;
}

} // namespace

SearchOptionsPanel::SearchOptionsPanel(SearchSession& session, Dialogs* dialogs, QWidget* parent)
    : QWidget(parent), session_(session), dialogs_(dialogs) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);

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
    // A digit typed is the choice; one the session refuses waits for the box to be left, which
    // says why.
    connect(MaskEdBox2, &QLineEdit::textEdited, this, [this](const QString& text) {
        QString refused;
        if (text != QString::number(session_.settings().intPreQi))
            session_.setPreQi(text, &refused);
    });
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
    // A choice that changes nothing says so where it is pointed at.
    const QString orderTip =
        QStringLiteral("顺序码与落地码不改变任何检索结果：各位总按开奖顺序（第1码到第5码）比较。");
    for (QWidget* w : {static_cast<QWidget*>(orderFrame), static_cast<QWidget*>(Option2[5]),
                       static_cast<QWidget*>(Option2[4])})
        w->setToolTip(orderTip);
    orderLayout->addWidget(Option2[5]);
    orderLayout->addWidget(Option2[4]);

    auto* topRow = new QHBoxLayout;
    topRow->addWidget(refFrame);
    topRow->addWidget(posFrame);
    topRow->addWidget(orderFrame);
    v->addLayout(topRow);

    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(
        makeKindFrame(QStringLiteral("搜索类型选择"), "frameSearchKind", "Option3", Option3));
    kindRow->addWidget(
        makeKindFrame(QStringLiteral("结果类型选择"), "frameResultKind", "Option4", Option4));
    v->addLayout(kindRow);

    v->addWidget(buildReferenceTabs());

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
    v->addWidget(buildSearchRow());
    backtest_ = new BacktestOptions;
    v->addWidget(backtest_);
    v->addStretch();

    for (int i : {0, 1, 2, 3})
        connect(Option1[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                Option1_Click(i);
        });
    for (int i : {4, 5})
        connect(Option2[i], &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                session_.refreshForNumberOrder();
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

    // The boxes show what the session sets, overwriting what was typed there.
    connect(&session_, &SearchSession::startIssueChanged, this,
            [this](qint64 issue) { Text3[0]->setText(QString::number(issue)); });
    connect(&session_, &SearchSession::endIssueChanged, this,
            [this](qint64 issue) { Text3[1]->setText(QString::number(issue)); });
    connect(&session_, &SearchSession::issueRangeCleared, this, [this] {
        Text3[0]->clear();
        Text3[1]->clear();
    });
    connect(&session_, &SearchSession::verificationIssueChanged, this, [this](qint64 issue) {
        Text4->setText(QString::number(issue));
        Text4->setModified(false);
    });
    connect(&session_, &SearchSession::referenceValuesChanged, this,
            &SearchOptionsPanel::showReferenceValues);
}

QWidget* SearchOptionsPanel::buildReferenceTabs() {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    // The three tabs over their frames; only the selected tab's frame is shown, in a stack that
    // keeps the height of the tallest, so nothing below moves when the tab changes.
    TabStrip1 = new QTabBar;
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->addTab(QStringLiteral("自动历史位"));
    TabStrip1->addTab(QStringLiteral("手动输入号"));
    TabStrip1->addTab(QStringLiteral("验证指定期"));
    TabStrip1->setExpanding(false);
    v->addWidget(TabStrip1);
    tabFrames_ = new QStackedWidget;
    auto* numberValidator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-0-9]*")), this);
    for (int f = 0; f < 3; ++f) {
        Frame2[f] = new QGroupBox;
        Frame2[f]->setObjectName(indexed("Frame2", f));
        auto* grid = new QGridLayout(Frame2[f]);
        for (int i = 1; i <= 5; ++i) {
            const int index = f == 2 ? i + 10 : i;
            QLineEdit* text = nullptr;
            auto* check = new QCheckBox(QStringLiteral("第%1位").arg(i));
            if (f == 1) {
                text = makeBox(indexed("Text22", i), 48);
                text->setValidator(numberValidator);
                text->installEventFilter(this);
                Text22[i] = text;
                check->setObjectName(indexed("Check11", i));
                Check11[i] = check;
            } else {
                text = makeBox(indexed("Text2", index), 48);
                text->setReadOnly(true);
                // Shown values only: Tab passes them by, a click still selects for copying.
                text->setFocusPolicy(Qt::ClickFocus);
                Text2[index] = text;
                check->setObjectName(indexed("Check1", index));
                Check1[index] = check;
            }
            connect(check, &QCheckBox::toggled, this, &SearchOptionsPanel::ticksChanged);
            text->setAlignment(Qt::AlignCenter);
            grid->addWidget(text, 0, i - 1, Qt::AlignHCenter);
            grid->addWidget(check, 1, i - 1, Qt::AlignHCenter);
        }
        if (f == 2) {
            // The verification issue and its "only before it" box belong to the third tab.
            auto* row = new QHBoxLayout;
            Check4 = new QCheckBox(QStringLiteral("仅检索该期前"));
            Check4->setObjectName(QStringLiteral("Check4"));
            Text4 = makeBox(QStringLiteral("Text4"), 80);
            connect(Text4, &QLineEdit::editingFinished, this,
                    &SearchOptionsPanel::Text4_EditingFinished);
            connect(Check4, &QCheckBox::toggled, this, &SearchOptionsPanel::Check4_Click);
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
        tabFrames_->addWidget(Frame2[f]);
    }
    v->addWidget(tabFrames_);
    connect(TabStrip1, &QTabBar::currentChanged, this, &SearchOptionsPanel::TabStrip1_Click);
    // A click on the tab already selected reloads its values too.
    connect(TabStrip1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index == TabStrip1->currentIndex())
            TabStrip1_Click();
    });
    return box;
}

QWidget* SearchOptionsPanel::buildSearchRow() {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
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
    // Enter takes the typed value without adding it to the list of 1..4; only 1..5 can be typed,
    // so the box always shows a value the search can use.
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->addItems(
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    Combo1->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[1-5]?")), Combo1));
    Combo1->installEventFilter(this);
    Combo1->lineEdit()->installEventFilter(this);
    // A choice is stored when it is made: closing the window with the focus still in the box
    // must not lose it.
    connect(Combo1, &QComboBox::activated, this, &SearchOptionsPanel::Combo1_LostFocus);
    connect(Combo1->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!text.isEmpty())
            Combo1_LostFocus();
    });
    Command2 = new QPushButton(QStringLiteral("组合检索(&G)"));
    Command2->setObjectName(QStringLiteral("Command2"));
    comboLayout->addWidget(Label1);
    comboLayout->addWidget(Combo1);
    comboLayout->addWidget(Command2);
    h->addWidget(Command1, 1);
    h->addWidget(comboFrame, 2);
    return row;
}

void SearchOptionsPanel::showOptions() {
    const Settings& s = session_.settings();
    // Selecting an option button runs its handling, as a user's click would.
    Option1[1]->setChecked(s.bolZyw);
    Option1[0]->setChecked(!s.bolZyw);
    Option1[3]->setChecked(s.bolSq);
    Option1[2]->setChecked(!s.bolSq);
    Option4[s.intXianshiLei]->setChecked(true);
    MaskEdBox2->setText(QString::number(s.intPreQi));
    showCombinedPositions();
    Option3[s.intLei]->setChecked(true);
    TabStrip1_Click(); // the first tab's values
}

void SearchOptionsPanel::setSearchEnabled(bool enabled) {
    Command1->setEnabled(enabled);
    Command2->setEnabled(enabled);
    backtest_->button()->setEnabled(enabled);
}

void SearchOptionsPanel::showReferenceValues(ReferenceSource shownOn) {
    const int first = shownOn == ReferenceSource::Verification ? 11 : 1;
    // No reference draw (an empty or too short history): nothing to show, rather than zeros.
    if (shownOn == ReferenceSource::LastDraws && !session_.referenceIssue()) {
        for (int i = 0; i < kPositions; ++i)
            Text2[first + i]->clear();
        return;
    }
    const auto texts = session_.referenceTexts();
    for (int i = 0; i < kPositions; ++i) {
        // A value without a name under the zodiac base leaves its box as it was.
        if (texts[i])
            Text2[first + i]->setText(*texts[i]);
    }
}

void SearchOptionsPanel::showCombinedPositions() {
    // A value of the list selects its entry, so the opened list marks it; 5 is typed text.
    const QString k = QString::number(session_.settings().intZhWSetup);
    const int entry = Combo1->findText(k);
    if (entry >= 0)
        Combo1->setCurrentIndex(entry);
    Combo1->setEditText(k);
}

// ---------------------------------------------------------------------------------------------
// Handlers

void SearchOptionsPanel::Option1_Click(int index) {
    if (index <= 1)
        session_.setFreePositions(index == 1);
    else
        session_.setLastDrawReference(index == 3);
}

void SearchOptionsPanel::Option3_Click(int index) {
    session_.setSearchKind(index);
}

void SearchOptionsPanel::Option4_Click(int index) {
    session_.setResultKind(index);
}

void SearchOptionsPanel::TabStrip1_Click() {
    const int tab = TabStrip1->currentIndex();
    tabFrames_->setCurrentIndex(tab);
    if (tab == 1) {
        for (int i = 1; i <= 5; ++i)
            session_.setTypedValue(i, Text22[i]->text());
    } else if (tab == 2) {
        session_.noteVerificationText(Text4->text());
    }
    session_.setReferenceSource(static_cast<ReferenceSource>(tab));
}

bool SearchOptionsPanel::Text4_EditingFinished() {
    // A verification issue typed and left, or confirmed with Enter, reloads the reference values
    // at once: otherwise a search would still use the draw before the issue shown earlier.
    if (!Text4->isModified() || session_.referenceSource() != ReferenceSource::Verification)
        return true;
    Text4->setModified(false);
    QString error;
    if (!session_.setVerificationIssue(Text4->text(), &error)) {
        dialogs_->warning(QStringLiteral("验证指定期"), error);
        return false;
    }
    return true;
}

void SearchOptionsPanel::Check4_Click() {
    QString error;
    if (!session_.setOnlyBefore(Check4->isChecked(), Text4->text(), &error))
        dialogs_->warning(QStringLiteral("仅检索该期前"), error);
}

bool SearchOptionsPanel::MaskEdBox2_LostFocus() {
    if (MaskEdBox2->text() == QString::number(session_.settings().intPreQi))
        return true;
    QString error;
    if (!session_.setPreQi(MaskEdBox2->text(), &error)) {
        dialogs_->warning(QStringLiteral("前N期"), error);
        MaskEdBox2->setText(QString::number(session_.settings().intPreQi));
        return false;
    }
    return true;
}

bool SearchOptionsPanel::Combo1_LostFocus() {
    if (Combo1->currentText() == QString::number(session_.settings().intZhWSetup))
        return true;
    QString error;
    if (!session_.setCombinedPositions(Combo1->currentText(), &error)) {
        dialogs_->warning(QStringLiteral("组合位数"), error);
        showCombinedPositions();
        return false;
    }
    return true;
}

QCheckBox* SearchOptionsPanel::positionBox(int tab, int position) const {
    return tab == 1 ? Check11[position] : tab == 0 ? Check1[position] : Check1[position + 10];
}

std::array<bool, kPositions> SearchOptionsPanel::tickedPositions() const {
    return ticks()[int(session_.referenceSource())];
}

SearchOptionsPanel::Ticks SearchOptionsPanel::ticks() const {
    Ticks ticks{};
    for (int tab = 0; tab < 3; ++tab)
        for (int i = 1; i <= 5; ++i)
            ticks[tab][i - 1] = positionBox(tab, i)->isChecked();
    return ticks;
}

void SearchOptionsPanel::setTicks(const Ticks& ticks) {
    for (int tab = 0; tab < 3; ++tab)
        for (int i = 1; i <= 5; ++i)
            positionBox(tab, i)->setChecked(ticks[tab][i - 1]);
}

std::optional<SearchRequest> SearchOptionsPanel::searchRequest() {
    // A shortcut key leaves the focus in the box being edited: every box is taken as it stands.
    if (!MaskEdBox2_LostFocus() || !Combo1_LostFocus())
        return std::nullopt;
    for (int i = 1; i <= 5; ++i)
        session_.setTypedValue(i, Text22[i]->text());
    if (!Text4_EditingFinished())
        return std::nullopt;
    // An empty history has no range to check; the search itself says it is empty.
    if (session_.isEmpty())
        return session_.request(tickedPositions());
    std::array<qint64, 2> range{};
    for (int b = 0; b < 2; ++b) {
        const auto issue = issueFromTypedText(Text3[b]->text());
        if (!issue) {
            dialogs_->warning(QStringLiteral("检索"),
                              QStringLiteral("%1期号“%2”不是数字，请在检索起止期数中改正。")
                                  .arg(b == 0 ? QStringLiteral("起始") : QStringLiteral("截止"),
                                       Text3[b]->text().left(20)));
            return std::nullopt;
        }
        range[b] = *issue;
    }
    return session_.request(tickedPositions(), range[0], range[1]);
}

bool SearchOptionsPanel::eventFilter(QObject* watched, QEvent* event) {
    // The box holds one digit: a digit typed replaces it, so 4 after 2 gives 4, not a refusal.
    if (event->type() == QEvent::KeyPress && watched == Combo1->lineEdit()) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (typed.size() == 1 && typed[0] >= QLatin1Char('1') && typed[0] <= QLatin1Char('5')) {
            Combo1->setEditText(typed);
            Combo1_LostFocus();
            return true;
        }
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
                    session_.setTypedValue(i, Text22[i]->text());
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quorvex
