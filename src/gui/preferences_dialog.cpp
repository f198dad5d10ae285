#include "gui/preferences_dialog.h"

#include <QColorDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/pass_phrases.h"
#include "app/user_settings.h"
#include "device/drive_family.h"
#include "diag/load_count_threshold.h"
#include "gui/log_view.h"

namespace vexal::gui {
namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), int(s.size())); }

constexpr int kHelpRole = Qt::UserRole;
constexpr int kSlotRole = Qt::UserRole + 1;

constexpr const char* kSetPasswordQuestion =
    "You have selected to allow engineering mode, however, the password is not set.  Would you like to set the "
    "password in order to enable engineering mode?  If you select 'No' you will be prompted again for the password "
    "when needed.";
constexpr const char* kCancelPasswordQuestion =
    "Are you sure you want to cancel?  Doing so will not enable engineering mode.";

struct ColourItem {
    const char* text;
    const char* help;
    int slot;  // -1: the background, which is fixed
    bool engineeringOnly;
};
const ColourItem kColourItems[] = {
    {"Command I/O", "Color of command input/output lines.", int(log::ColourSlot::CommandIo), true},
    {"Command Status", "Color of command status lines.", int(log::ColourSlot::CommandStatus), true},
    {"Raw Data", "Color of raw data lines.", int(log::ColourSlot::RawData), true},
    {"Abort/Error Conditions", "Color of abort and error lines.", int(log::ColourSlot::Error), false},
    {"Application Header", "Color of the application header lines.", int(log::ColourSlot::AppHeader), false},
    {"Script I/O", "Color of the script start and end lines.", int(log::ColourSlot::ScriptIo), false},
    {"Script Messages", "Color of script message lines.", int(log::ColourSlot::ScriptMessages), false},
    {"Background", "The view's background color (fixed).", -1, false},
};

QIcon swatch(uint32_t colour) {
    QPixmap p(24, 12);
    p.fill(fromColorRef(colour));
    QPainter painter(&p);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 23, 11);
    return QIcon(p);
}

}  // namespace

PreferencesDialog::PreferencesDialog(PreferencesContext context, QWidget* parent)
    : QDialog(parent), c_(std::move(context)) {
    setWindowTitle("Preferences");
    setObjectName("preferencesDialog");
    auto* layout = new QVBoxLayout(this);
    tree_ = new QTreeWidget(this);
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({"Item", "Value"});
    tree_->header()->resizeSection(0, 240);
    layout->addWidget(tree_);
    help_ = new QLabel(this);
    help_->setWordWrap(true);
    help_->setMinimumHeight(40);
    help_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    layout->addWidget(help_);
    auto* row = new QHBoxLayout;
    apply_ = new QPushButton("&Apply", this);
    auto* close = new QPushButton("&Close", this);
    auto* defaults = new QPushButton("Load &Defaults", this);
    row->addWidget(defaults);
    row->addStretch();
    row->addWidget(apply_);
    row->addWidget(close);
    layout->addLayout(row);
    connect(apply_, &QPushButton::clicked, this, &PreferencesDialog::apply);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(defaults, &QPushButton::clicked, this, &PreferencesDialog::loadDefaults);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        help_->setText(item ? item->data(0, kHelpRole).toString() : QString());
    });
    connect(tree_, &QTreeWidget::itemChanged, this, [this] { changed(); });
    connect(tree_, &QTreeWidget::itemActivated, this, &PreferencesDialog::pickColour);
    resize(520, 460);

    // The threshold is read from the drive once, when its family has one.
    if (c_.device && device::hasLoadCountThreshold(c_.familyCode)) {
        threshold_ = diag::ReadLoadCountThreshold(*c_.device, c_.op, c_.installPath);
        if (!threshold_) c_.op.message(diag::kLoadCountNotFoundMessage, "Vexal", ui::Icon::Information);
    }
    fill();
}

void PreferencesDialog::fill() {
    filling_ = true;
    tree_->clear();
    allowEngineering_ = engage_ = thresholdItem_ = nullptr;
    const bool engineering = c_.app.engineeringMode;
    auto group = [this](const char* text, const char* help) {
        auto* g = new QTreeWidgetItem(tree_, {text});  // owned by the tree
        g->setData(0, kHelpRole, help);
        g->setExpanded(true);
        return g;
    };
    if (engineering) {
        auto* g = group("General Setup", "These items set general application behavior.");
        allowEngineering_ = new QTreeWidgetItem(g, {"Allow Engineering Mode"});
        allowEngineering_->setData(0, kHelpRole, "This keeps engineering mode accessible.");
        allowEngineering_->setCheckState(1, c_.app.settings.passwordSet ? Qt::Checked : Qt::Unchecked);
        if (c_.app.wizardPrivileges) {
            allowEngineering_->setText(1, "Unavailable in wizard mode");
            allowEngineering_->setDisabled(true);
        }
        engage_ = new QTreeWidgetItem(g, {"Engage Korvane"});
        engage_->setData(0, kHelpRole, "Enables tape alerts and MAM notification.");
        engage_->setCheckState(1, c_.app.settings.tapeAlertSet ? Qt::Checked : Qt::Unchecked);
        g->setExpanded(true);
    }
    if (threshold_) {
        auto* g = group(std::string(diag::kLoadCountItem).c_str(), std::string(diag::kLoadCountItemHelp).c_str());
        thresholdItem_ = new QTreeWidgetItem(g, {q(diag::kLoadCountNumberItem)});
        thresholdItem_->setData(0, kHelpRole, q(diag::kLoadCountNumberHelp));
        auto* spin = new QSpinBox(tree_);
        spin->setRange(int(diag::kLoadCountThresholdMinimum), int(diag::kLoadCountThresholdMaximum));
        spin->setValue(int(std::clamp(*threshold_, diag::kLoadCountThresholdMinimum, diag::kLoadCountThresholdMaximum)));
        tree_->setItemWidget(thresholdItem_, 1, spin);
        connect(spin, &QSpinBox::valueChanged, this, [this] { changed(); });
        g->setExpanded(true);
    }
    {
        auto* g = group("Folders", "These items set location of log files and test files.");
        const std::string base = c_.installPath.string();
        for (auto [text, sub, help] : {std::tuple{"Log Folder", "Logs/", "This sets the location of the log files."},
                                       std::tuple{"FA Dump Folder", "FADump/", "This sets the location of the FA Dump files."},
                                       std::tuple{"Test Script Folder", "Scripts/", "This sets the location of the test scripts."}}) {
            auto* item = new QTreeWidgetItem(g, {text, QString::fromStdString(base + sub)});
            item->setData(0, kHelpRole, help);
        }
        g->setExpanded(true);
    }
    {
        auto* g = group("Color Items", "These items control color properties.");
        for (const auto& ci : kColourItems) {
            if (ci.engineeringOnly && !engineering) continue;
            auto* item = new QTreeWidgetItem(g, {ci.text});
            item->setData(0, kHelpRole, QString(ci.help) + (ci.slot >= 0 ? "  (double-click to change)" : ""));
            item->setData(0, kSlotRole, ci.slot);
            const uint32_t colour = ci.slot >= 0 ? c_.colours.values[size_t(ci.slot)] : log::kBackgroundColour;
            item->setIcon(1, swatch(colour));
        }
        g->setExpanded(true);
    }
    pending_ = c_.colours.values;
    apply_->setEnabled(false);
    filling_ = false;
}

QTreeWidgetItem* PreferencesDialog::item(const QString& text) const {
    const auto found = tree_->findItems(text, Qt::MatchExactly | Qt::MatchRecursive, 0);
    return found.isEmpty() ? nullptr : found.front();
}

void PreferencesDialog::changed() {
    if (!filling_) apply_->setEnabled(true);
}

bool PreferencesDialog::applyEnabled() const { return apply_->isEnabled(); }

void PreferencesDialog::pickColour(QTreeWidgetItem* item) {
    if (!item || !item->data(0, kSlotRole).isValid()) return;
    const int slot = item->data(0, kSlotRole).toInt();
    if (slot < 0) return;
    const QColor chosen = QColorDialog::getColor(fromColorRef(pending_[size_t(slot)]), this, item->text(0));
    if (chosen.isValid()) setColour(log::ColourSlot(slot), toColorRef(chosen));
}

void PreferencesDialog::setColour(log::ColourSlot slot, uint32_t colour) {
    pending_[size_t(slot)] = colour;
    for (const auto& ci : kColourItems)
        if (ci.slot == int(slot))
            if (QTreeWidgetItem* it = item(ci.text)) it->setIcon(1, swatch(colour));
    changed();
}

// "Allow Engineering Mode" ticked or not; the pass phrase is asked when none is remembered.
bool PreferencesDialog::applyEngineeringMode() {
    app::CFalderApp& a = c_.app;
    auto allow = [&a] {
        a.settings.passwordSet = 1;
        a.settings.showEngineeringMode = 1;
        a.engineeringMode = true;
        a.customerMode = false;
        app::WriteSetting("PasswordSet", 1);
        app::WriteSetting("ShowEngineeringMode", 1);
    };
    auto forbid = [&a] {
        a.settings.passwordSet = 0;
        a.settings.showEngineeringMode = 0;
        app::WriteSetting("PasswordSet", 0);
        app::WriteSetting("ShowEngineeringMode", 0);
    };
    if (allowEngineering_->checkState(1) != Qt::Checked) {
        forbid();
        return true;
    }
    if (a.settings.passwordSet) {
        allow();
        return true;
    }
    if (c_.op.message(kSetPasswordQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo, ui::Button::Yes) !=
        ui::Button::Yes)
        return true;
    for (;;) {
        if (a.PasswordDialog(true, false) == app::CFalderApp::PasswordResult::Ok) {
            if (a.settings.password == app::engineeringDigest()) {
                allow();
                return true;
            }
            c_.op.message(app::kPasswordIncorrect, "Vexal", ui::Icon::Exclamation);
            continue;
        }
        if (c_.op.message(kCancelPasswordQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo,
                          ui::Button::No) == ui::Button::Yes) {
            forbid();
            return true;
        }
    }
}

void PreferencesDialog::apply() {
    const bool engineering = c_.app.engineeringMode;
    auto storeColour = [this](log::ColourSlot slot) {
        if (c_.colours[slot] == pending_[size_t(slot)]) return;
        c_.colours[slot] = pending_[size_t(slot)];
        c_.colours.save(slot);
    };
    // 1. Allow Engineering Mode.
    if (engineering && allowEngineering_ && allowEngineering_->isDisabled() == false) applyEngineeringMode();
    // 2. Engage Korvane and the engineering colours.
    if (engineering) {
        if (engage_) {
            c_.app.settings.tapeAlertSet = engage_->checkState(1) == Qt::Checked ? 1 : 0;
            app::WriteSetting("TapeAlertSet", c_.app.settings.tapeAlertSet);
        }
        for (auto slot : {log::ColourSlot::RawData, log::ColourSlot::CommandIo, log::ColourSlot::CommandStatus})
            storeColour(slot);
    }
    // 3. The other colours, the view redrawn at once.
    for (auto slot : {log::ColourSlot::AppHeader, log::ColourSlot::Error, log::ColourSlot::ScriptIo,
                      log::ColourSlot::ScriptMessages})
        storeColour(slot);
    if (c_.coloursChanged) c_.coloursChanged();
    // 4. The threshold, when it was read from the drive.
    if (thresholdItem_ && c_.device) {
        auto* spin = static_cast<QSpinBox*>(tree_->itemWidget(thresholdItem_, 1));
        if (!diag::WriteLoadCountThreshold(*c_.device, spin->value()))
            c_.op.message(diag::kLoadCountWriteFailedMessage, "Vexal", ui::Icon::Exclamation);
        else
            threshold_ = spin->value();
    }
    // 5.
    apply_->setEnabled(false);
}

void PreferencesDialog::loadDefaults() {
    if (thresholdItem_) c_.op.message(diag::kLoadCountDefaultsNotice, "Vexal", ui::Icon::Information);
    if (c_.resetDefaults && c_.resetDefaults()) {
        if (c_.coloursChanged) c_.coloursChanged();
        fill();
    }
    apply_->setEnabled(false);
}

}  // namespace vexal::gui
