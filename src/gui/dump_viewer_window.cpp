#include "gui/dump_viewer_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/ini_file.h"

namespace vexal::gui {
namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), int(s.size())); }

constexpr std::string_view kReportFilter = "Report Files (*.txt)|*.txt||";

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

DumpViewerWindow::DumpViewerWindow(ui::Operator& op, std::filesystem::path startFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), op_(op), startFolder_(std::move(startFolder)) {
    setObjectName("faDumpViewer");
    setWindowTitle(q(fadump::kViewerCaption));
    auto* layout = new QVBoxLayout(this);
    file_ = new QLabel(this);
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(file_);
    auto* split = new QSplitter(this);
    sections_ = new QTreeWidget(split);
    sections_->setObjectName("dumpSections");
    sections_->setHeaderLabels({"Section", "Offset"});
    sections_->setRootIsDecorated(false);
    sections_->header()->resizeSection(0, 200);
    text_ = new QPlainTextEdit(split);
    text_->setObjectName("dumpText");
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFont("Monospace"));
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    auto* buttons = new QHBoxLayout;
    open_ = new QPushButton("&Open...", this);
    save_ = new QPushButton("&Save Report...", this);
    auto* close = new QPushButton("&Close", this);
    buttons->addWidget(open_);
    buttons->addWidget(save_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(open_, &QPushButton::clicked, this, &DumpViewerWindow::chooseAndOpen);
    connect(save_, &QPushButton::clicked, this, &DumpViewerWindow::saveReportAs);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(sections_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item) showSection(sections_->indexOfTopLevelItem(item));
    });
    // The controls wait for a dump that scanned.
    sections_->setEnabled(false);
    text_->setEnabled(false);
    save_->setEnabled(false);
    resize(860, 560);
}

DumpViewerWindow::~DumpViewerWindow() = default;

bool DumpViewerWindow::chooseAndOpen() {
    if (busy()) return false;
    std::string path = startFolder_.string();
    if (!op_.chooseFile(ui::FileDialog::Open, fadump::kSelectDumpCaption, fadump::kViewerFilter, path) ||
        path.empty())
        return false;
    openFile(path);
    return true;
}

void DumpViewerWindow::openFile(const std::filesystem::path& dmz) {
    if (busy()) return;
    open_->setEnabled(false);
    file_->setText("Opening " + QString::fromStdString(dmz.string()) + "...");
    auto text = std::make_shared<std::string>();
    task_.start(
        [this, dmz, text] {
            result_ = fadump::OpenDumpFile(op_, dmz);
            if (result_.expanded && result_.scanError == fadump::scan_error::None) *text = readText(result_.ptf);
        },
        [this, dmz, text] {
            open_->setEnabled(true);
            file_->setText(QString::fromStdString(dmz.string()));
            showResult(*text);
        });
}

void DumpViewerWindow::showResult(const std::string& text) {
    sections_->clear();
    text_->clear();
    ptfText_.clear();
    if (!result_.expanded) {
        file_->setText(QString::fromStdString(result_.refusal));
        Q_EMIT opened(false);
        return;
    }
    setWindowTitle(QString::fromStdString(result_.title));
    const bool ok = result_.controlsEnabled && result_.scanError == fadump::scan_error::None;
    if (ok) {
        for (const auto& s : result_.sections) {
            auto* item = new QTreeWidgetItem(sections_);  // owned by the list
            item->setText(0, QString::fromStdString(s.name));
            item->setText(1, QString::number(qulonglong(s.offset)));
        }
        // The text part holds bytes 1 to 126 only; without its CRs a section's offset
        // becomes a position in the shown text.
        std::string shown;
        shown.reserve(text.size());
        for (char c : text)
            if (c != '\r') shown.push_back(c);
        text_->setPlainText(QString::fromLatin1(shown.data(), qsizetype(shown.size())));
        ptfText_ = text;
    }
    sections_->setEnabled(ok);
    text_->setEnabled(ok);
    save_->setEnabled(ok);
    reportSaved_ = !ok;
    Q_EMIT opened(ok);
}

void DumpViewerWindow::showSection(int row) {
    if (row < 0 || size_t(row) >= result_.sections.size()) return;
    const uint64_t offset = std::min<uint64_t>(result_.sections[size_t(row)].offset, ptfText_.size());
    const auto crs = std::count(ptfText_.begin(), ptfText_.begin() + std::ptrdiff_t(offset), '\r');
    QTextCursor cursor(text_->document());
    cursor.setPosition(int(std::min<uint64_t>(offset - uint64_t(crs), uint64_t(text_->document()->characterCount() - 1))));
    text_->setTextCursor(cursor);
    text_->centerCursor();
}

std::string DumpViewerWindow::report() const {
    std::string text = result_.title + "\r\n";
    for (const auto& s : result_.sections) text += fadump::sectionLine(s) + "\r\n";
    return text;
}

bool DumpViewerWindow::saveReport(const std::filesystem::path& file, std::string& error) {
    if (!platform::writeFileAtomically(file, report())) {
        error = "The report could not be written to " + file.string() + ".";
        return false;
    }
    reportSaved_ = true;
    return true;
}

void DumpViewerWindow::saveReportAs() {
    std::string path = result_.dmp.empty() ? std::string() : std::filesystem::path(result_.dmp).replace_extension(".txt").string();
    if (!op_.chooseFile(ui::FileDialog::Save, "Save Report", kReportFilter, path) || path.empty()) return;
    std::filesystem::path file = path;
    if (!file.has_extension()) file += ".txt";
    std::string error;
    if (!saveReport(file, error)) op_.message(error, fadump::kViewerCaption, ui::Icon::Exclamation);
}

void DumpViewerWindow::closeEvent(QCloseEvent* event) {
    if (busy() || !fadump::ConfirmViewerExit(op_, reportSaved_)) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace vexal::gui
