#include "app/run/renameprocess.h"

#include "app/list/predictionmarks.h"
#include "app/widgets/qttext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

namespace qm {

namespace {

QLabel* Label(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    // A long file name must not widen the window; it is elided instead.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TRenameProcess::TRenameProcess(QWidget* parent, TextSource programLine, std::string cancelCaption)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      programLine_(std::move(programLine)), cancelCaption_(std::move(cancelCaption)) {
    setObjectName(QStringLiteral("RenameProcess"));

    // There is no clip to play: the area only keeps the window's proportions.
    auto* animate = new QWidget(this);
    animate->setObjectName(QStringLiteral("Animate"));
    animate->setFixedSize(272, 60);
    FromNameInfo = Label(this, "FromNameInfo");
    ToNameInfo = Label(this, "ToNameInfo");
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 1000);
    Progress->setValue(0);
    Progress->setTextVisible(false);
    CancelBtn = new QPushButton(tr("&Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    // Enter presses the default button; Escape reaches reject(), which does the same.
    CancelBtn->setDefault(true);
    EstimatedInfo = Label(this, "EstimatedInfo");
    // The estimate appears late in a run; its line is kept so the window does not jump.
    QSizePolicy keep = EstimatedInfo->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    EstimatedInfo->setSizePolicy(keep);
    EstimatedInfo->hide();
    EstimatedTimer = new QTimer(this);
    EstimatedTimer->setObjectName(QStringLiteral("EstimatedTimer"));
    EstimatedTimer->setInterval(1000);

    auto* column = new QVBoxLayout(this);
    column->addWidget(animate, 0, Qt::AlignLeft);
    column->addWidget(FromNameInfo);
    column->addWidget(ToNameInfo);
    auto* bar = new QHBoxLayout;
    bar->addWidget(Progress, 1);
    bar->addWidget(CancelBtn);
    column->addLayout(bar);
    column->addWidget(EstimatedInfo);

    connect(CancelBtn, &QPushButton::clicked, this, &TRenameProcess::CancelBtnClick);
    connect(EstimatedTimer, &QTimer::timeout, this, &TRenameProcess::EstimatedTimerTimer);

    setFixedSize(std::max(373, sizeHint().width()), sizeHint().height());
}

TRenameProcess::~TRenameProcess() = default;

void TRenameProcess::showEvent(QShowEvent* event) {
    // Once: showing the window again after it was minimised must not wipe the names.
    if (!textsSet_) {
        textsSet_ = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

void TRenameProcess::FormShow() {
    setWindowTitle(Q(programLine_("RENAMEPROCESSTITLE") + "..."));
    FromNameInfo->setText(Q(programLine_("RENAMEFROMNAME") + ":"));
    ToNameInfo->setText(Q(programLine_("RENAMETONAME") + ":"));
    if (!cancelCaption_.empty()) {
        CancelBtn->setText(Q(cancelCaption_));
    }
}

void TRenameProcess::BeginRun(std::int64_t totalFiles) {
    FilesSinceTick.store(0);
    EstimatedInfo->hide();
    totalFiles_ = totalFiles;
    Progress->setValue(0);
    doneFiles_ = 0;
    EstimatedTimer->start();
}

void TRenameProcess::EndRun() {
    EstimatedTimer->stop();
}

void TRenameProcess::Finish() {
    if (!RunActive()) {
        QDialog::done(QDialog::Accepted);
    }
}

void TRenameProcess::ShowNames(const std::string& from, const std::string& to) {
    const auto show = [](QLabel* label, const QString& text) {
        const int width = label->contentsRect().width();
        label->setText(width > 0 ? label->fontMetrics().elidedText(text, Qt::ElideMiddle, width)
                                 : text);
        label->setToolTip(text);
    };
    show(FromNameInfo, Q(programLine_("RENAMEFROMNAME") + ": " + from));
    show(ToNameInfo, Q(programLine_("RENAMETONAME") + ": " + to));
}

void TRenameProcess::ShowReadingTags(std::int64_t done, std::int64_t total) {
    FromNameInfo->setText(
        ReadingTagsText(static_cast<std::size_t>(std::max<std::int64_t>(done, 0)),
                        static_cast<std::size_t>(std::max<std::int64_t>(total, 0)), programLine_));
    ToNameInfo->clear();
}

void TRenameProcess::StepProgress(std::int64_t n) {
    doneFiles_ += n;
    if (doneFiles_ == 0) {
        Progress->setValue(0);
        return;
    }
    if (totalFiles_ <= 0) {
        return; // nothing to measure against
    }
    const std::int64_t target = std::min<std::int64_t>(doneFiles_ * 1000 / totalFiles_, 1000);
    if (target > Progress->value()) {
        Progress->setValue(static_cast<int>(target));
    }
}

void TRenameProcess::EstimatedTimerTimer() {
    std::copy_backward(tickCounts_.begin(), tickCounts_.end() - 1, tickCounts_.end());
    tickCounts_[0] = FilesSinceTick.exchange(0);
    const std::int64_t sum =
        std::accumulate(tickCounts_.begin(), tickCounts_.end(), std::int64_t{0});
    const std::int64_t rate = std::max<std::int64_t>(sum / 10, 1);
    const std::int64_t left = std::max<std::int64_t>(totalFiles_ - doneFiles_, 0) / rate;
    if (left < 60) {
        EstimatedInfo->setText(
            Q(std::to_string(left - left % 5 + 5) + " " + programLine_("RENAMESECONDSLEFT")));
    } else {
        EstimatedInfo->setText(
            Q(std::to_string(left / 60) + " " + programLine_("RENAMEMINUTESLEFT")));
    }
    if (ticksSeen_ >= 10) {
        EstimatedInfo->show();
    } else {
        ++ticksSeen_;
    }
}

void TRenameProcess::CancelBtnClick() {
    if (RunActive()) {
        emit stopRequested();
    }
}

void TRenameProcess::reject() {
    // Escape and the close box (QDialog's close handling comes here and keeps the window
    // while it stays visible): the same as Cancel while a run is under way.
    if (RunActive()) {
        emit stopRequested();
        return;
    }
    QDialog::reject();
}

} // namespace qm
