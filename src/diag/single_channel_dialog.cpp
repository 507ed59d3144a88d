#include "diag/single_channel_dialog.h"

#include "diag/diag_dialogs.h"
#include "diag/diag_widgets.h"
#include "dialogs/dialog_support.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

#include <cstdio>

namespace tarn {

namespace {

QLabel* Label(int textId, QWidget* parent)
{
    auto* label = new QLabel(TextQ(textId), parent);
    KeepPlaceWhenHidden(label);
    return label;
}

QComboBox* Combo(const char* name, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // A list popup of 16 entries that scrolls, not one as high as the 64 channels.
    combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    combo->setMaxVisibleItems(16);
    KeepPlaceWhenHidden(combo);
    return combo;
}

} // namespace

SingleChannelDialog::SingleChannelDialog(SingleChannelTest& test, QWidget* parent)
    : QDialog(parent), test_(test)
{
    setObjectName(QStringLiteral("singleChannelTest"));
    SetWindowCaption(this, GetText(TEXT_SINGLE_CHANNEL_TITLE));

    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    tabs_->setExpanding(false);
    for (int u = 1; u <= 4; ++u) {
        char text[64];
        std::snprintf(text, sizeof text, "  %s %d  ", GetText(TEXT_SINGLE_CHANNEL_SLAVE).c_str(), u);
        tabs_->addTab(ToQt(text));
    }

    auto* page = new QFrame(this);
    page->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    auto* grid = new QGridLayout(page);

    programmed_ = new SunkenField(Qt::AlignLeft, page);
    programmed_->setObjectName(QStringLiteral("programmedType"));
    real_ = new SunkenField(Qt::AlignLeft, page);
    real_->setObjectName(QStringLiteral("realType"));
    match_ = new QPushButton(TextQ(TEXT_PROGRAMMED_EQUALS_REAL), page);
    match_->setObjectName(QStringLiteral("matchProgrammedToReal"));
    match_->setAutoDefault(false);
    channelLabel_ = Label(TEXT_SINGLE_CHANNEL_CHANNEL, page);
    channels_ = Combo("channel", page);
    tagLabel_ = Label(TEXT_SINGLE_CHANNEL_TAG, page);
    tag_ = new SunkenField(Qt::AlignLeft, page);
    tag_->setObjectName(QStringLiteral("tag"));
    tag_->setMinimumWidth(tag_->fontMetrics().horizontalAdvance(QString(17, QLatin1Char('W'))));
    KeepPlaceWhenHidden(tag_);
    const char* optionNames[SC_OPTION_LISTS] = {"typeOrMode", "burnoutOrScanTime", "wires", "coldJunction", "filter"};
    for (int i = 0; i < SC_OPTION_LISTS; ++i) options_[i] = Combo(optionNames[i], page);
    valueLabel_ = Label(TEXT_CHANNEL_VALUE, page);
    analogValue_ = new SunkenField(Qt::AlignRight, page);
    analogValue_->setObjectName(QStringLiteral("analogValue"));
    digitalValue_ = new SunkenField(Qt::AlignHCenter, page);
    digitalValue_->setObjectName(QStringLiteral("digitalValue"));
    for (SunkenField* field : {analogValue_, digitalValue_}) {
        field->setFont(ValueFont());
        field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral(" -3276.8 \u00B0C  ")));
        KeepPlaceWhenHidden(field);
    }

    grid->addWidget(Label(TEXT_PROGRAMMED_TYPE, page), 0, 0);
    grid->addWidget(programmed_, 0, 1, 1, 3);
    grid->addWidget(Label(TEXT_REAL_TYPE, page), 1, 0);
    grid->addWidget(real_, 1, 1, 1, 3);
    grid->addWidget(match_, 2, 0, 1, 4, Qt::AlignHCenter);
    grid->addWidget(channelLabel_, 3, 0);
    grid->addWidget(channels_, 3, 1);
    grid->addWidget(tagLabel_, 3, 2, Qt::AlignRight);
    grid->addWidget(tag_, 3, 3);
    grid->addWidget(options_[0], 4, 0, 1, 4);
    grid->addWidget(options_[1], 5, 0, 1, 2);  // 111 and 112 share their place
    grid->addWidget(options_[2], 5, 0, 1, 2);
    grid->addWidget(options_[3], 5, 2, 1, 2);
    grid->addWidget(options_[4], 6, 0, 1, 2);
    grid->addWidget(valueLabel_, 7, 0);
    grid->addWidget(analogValue_, 7, 1, 1, 3);  // 116 and 117 share their place
    grid->addWidget(digitalValue_, 7, 1, 1, 3);
    grid->setColumnStretch(3, 1);

    yellowLamp_ = MakeLamp(LampColour::Yellow, this);
    yellowLamp_->setObjectName(QStringLiteral("lamp118"));
    redLamp_ = MakeLamp(LampColour::Red, this);
    redLamp_->setObjectName(QStringLiteral("lamp119"));
    cancel_ = new QPushButton(TextQ(TEXT_CANCEL), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setAutoDefault(false);

    auto* bottom = new QGridLayout;
    bottom->addWidget(yellowLamp_, 0, 0);  // the lamps share their place
    bottom->addWidget(redLamp_, 0, 0);
    bottom->setColumnStretch(1, 1);
    bottom->addWidget(cancel_, 0, 2);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(tabs_);
    layout->addWidget(page);
    layout->addSpacing(8);
    layout->addLayout(bottom);

    connect(tabs_, &QTabBar::currentChanged, this, [this](int unit) {
        test_.SelectTab(unit);
        if (test_.Controls().tabs) {  // not queued: back to the unit shown
            const QSignalBlocker block(tabs_);
            tabs_->setCurrentIndex(test_.CurrentUnit() < 0 ? 0 : test_.CurrentUnit());
        }
        Apply();
    });
    connect(channels_, &QComboBox::activated, this, [this](int channel) {
        test_.SelectChannel(channel);
        if (test_.Controls().channelList) appliedSelection_ = -1;  // not queued: show the current one again
        Apply();
    });
    for (QComboBox* combo : options_) connect(combo, &QComboBox::activated, this, [this] { OptionChosen(); });
    connect(match_, &QPushButton::clicked, this, [this] {
        test_.MatchProgrammedToReal();
        Apply();
    });
    connect(cancel_, &QPushButton::clicked, this, &SingleChannelDialog::reject);

    timer_.setObjectName(QStringLiteral("tickTimer"));
    timer_.setParent(this);
    timer_.setInterval(SC_TICK_MS);
    connect(&timer_, &QTimer::timeout, this, &SingleChannelDialog::RunTick);

    test_.Start();
    Apply();
    timer_.start();
}

void SingleChannelDialog::OptionChosen()
{
    std::array<int, SC_OPTION_LISTS> selections{};
    for (int i = 0; i < SC_OPTION_LISTS; ++i) selections[i] = options_[i]->currentIndex();
    test_.ChangeOptions(selections);
    if (test_.Controls().options) appliedSelection_ = -1;  // not queued: show the current word again
    Apply();
}

void SingleChannelDialog::reject()
{
    if (DeferDuringExchange(this, kDeferredCancel, [this] { reject(); })) return;
    test_.CancelClicked();
    Apply();
}

void SingleChannelDialog::RunTick()
{
    if (DeferDuringExchange(this, kDeferredTick, [this] {
            if (timer_.isActive()) RunTick();
        }))
        return;
    const bool rearm = timer_.isActive();
    timer_.stop();
    if (test_.Tick() == SingleChannelTest::TickResult::End) {
        done(test_.Result());
        return;
    }
    Apply();
    if (rearm) timer_.start();
}

void SingleChannelDialog::Apply()
{
    const SingleChannelDisplay& d = test_.Display();
    const SingleChannelControls& c = test_.Controls();

    programmed_->Show(ToQt(d.programmedText));
    real_->Show(ToQt(d.realText));
    match_->setEnabled(c.match);
    tabs_->setEnabled(c.tabs);
    channels_->setEnabled(c.channelList);
    for (QComboBox* combo : options_) combo->setEnabled(c.options);
    cancel_->setEnabled(c.cancel);
    yellowLamp_->setVisible(test_.YellowLampVisible());
    redLamp_->setVisible(test_.RedLampVisible());

    if (!d.channelPartVisible) {
        for (QWidget* w : {static_cast<QWidget*>(channelLabel_), static_cast<QWidget*>(channels_),
                           static_cast<QWidget*>(tagLabel_), static_cast<QWidget*>(tag_),
                           static_cast<QWidget*>(valueLabel_), static_cast<QWidget*>(analogValue_),
                           static_cast<QWidget*>(digitalValue_)})
            w->hide();
        for (QComboBox* combo : options_) combo->hide();
        if (channels_->count()) {
            const QSignalBlocker block(channels_);
            channels_->clear();
        }
        return;
    }

    if (d.listsGeneration != appliedLists_) {
        const QSignalBlocker block(channels_);
        channels_->clear();
        for (int ch = 1; ch <= d.channelCount; ++ch) {
            char text[16];
            std::snprintf(text, sizeof text, " %02d ", ch);
            channels_->addItem(QString::fromLatin1(text));
        }
        static constexpr ChoiceList analogLists[SC_OPTION_LISTS] = {ChoiceList::ChannelType, ChoiceList::Burnout,
                                                                    ChoiceList::Wires, ChoiceList::ColdJunction,
                                                                    ChoiceList::Filter};
        for (int i = 0; i < SC_OPTION_LISTS; ++i) {
            const QSignalBlocker blockOption(options_[i]);
            options_[i]->clear();
            if (d.analog) FillComboFromChoices(options_[i], analogLists[i]);
            else if (i < 2) FillComboFromChoices(options_[i], i == 0 ? ChoiceList::DigitalMode : ChoiceList::ScanTime);
        }
        appliedLists_ = d.listsGeneration;
        appliedSelection_ = -1;
    }
    if (d.selectionGeneration != appliedSelection_) {
        tag_->Show(ToQt(d.tag));
        for (int i = 0; i < SC_OPTION_LISTS; ++i) {
            const QSignalBlocker block(options_[i]);
            SelectComboItem(options_[i], d.options[i]);
            options_[i]->setVisible(d.optionVisible[i]);
        }
        const QSignalBlocker block(channels_);
        SelectComboItem(channels_, d.channel);
        appliedSelection_ = d.selectionGeneration;
    }
    for (QWidget* w : {static_cast<QWidget*>(channelLabel_), static_cast<QWidget*>(channels_),
                       static_cast<QWidget*>(tagLabel_), static_cast<QWidget*>(tag_),
                       static_cast<QWidget*>(valueLabel_)})
        w->show();
    for (int i = 0; i < SC_OPTION_LISTS; ++i) options_[i]->setVisible(d.optionVisible[i]);
    analogValue_->setVisible(d.valueIsAnalog);
    digitalValue_->setVisible(!d.valueIsAnalog);
    (d.valueIsAnalog ? analogValue_ : digitalValue_)->Show(ToQt(d.valueText));
}

void OpenSingleChannelTest(Session& session, QWidget* parent)
{
    DiagnosticRun run(session.diagnostic);
    SingleChannelTest test(session.links);
    if (!test.Begin()) return;
    int result = 0;
    {
        SingleChannelDialog dialog(test, parent);
        // Restore and Leave are queued; the ticks run them, asking text 322 when the link is down.
        result = RunDiagnosticDialog(session, dialog, [&dialog] { dialog.reject(); });
    }
    test.Finish(result);
}

} // namespace tarn
