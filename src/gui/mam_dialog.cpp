#include "gui/mam_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "diag/eeprom_page.h"
#include "diag/eeprom_tree.h"
#include "diag/eeprom_write.h"
#include "diag/mam_attributes.h"
#include "diag/mam_reader.h"

namespace vexal::gui {
namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), int(s.size())); }

QTreeWidget* makeTree(QWidget* parent, const QStringList& headers) {
    auto* tree = new QTreeWidget(parent);
    tree->setHeaderLabels(headers);
    tree->header()->resizeSection(0, 300);
    return tree;
}

void addEepromItem(QTreeWidgetItem* parent, const diag::EepromTreeItem& item) {
    auto* node = new QTreeWidgetItem(parent, {q(item.label), q(item.value)});  // owned by the tree
    node->setToolTip(0, q(item.help));
    if (item.parameter) node->setData(0, Qt::UserRole, q(item.parameter->name));
    for (const auto& child : item.children) addEepromItem(node, child);
}

}  // namespace

MamDialog::MamDialog(command::CScsiDevice& device, bool engineeringMode, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Medium Auxiliary Memory");
    setObjectName("mamDialog");
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    layout->addWidget(tabs);
    for (diag::MamGroupId id : diag::visibleMamGroups(engineeringMode)) {
        const diag::MamGroupDef& group = diag::mamGroup(id);
        const diag::MamPage page = diag::ReadMamGroup(device, id);
        auto* tab = new QWidget(tabs);
        auto* tabLayout = new QVBoxLayout(tab);
        auto* title = new QLabel(q(group.title) + (group.description.empty() ? "" : "\n" + q(group.description)), tab);
        title->setWordWrap(true);
        tabLayout->addWidget(title);
        auto* tree = makeTree(tab, {"Attribute", "Value"});
        for (const diag::MamRow& row : page.rows) {
            auto* item = new QTreeWidgetItem(tree, {q(row.def->name), q(row.text)});
            item->setToolTip(0, QString("%1h").arg(row.def->id, 4, 16, QChar('0')).toUpper());
            if (!row.available) item->setForeground(1, Qt::gray);
            for (const diag::MamField& f : row.fields) {
                auto* field = new QTreeWidgetItem(item, {q(f.name), q(f.value)});
                if (f.checked) field->setCheckState(1, *f.checked ? Qt::Checked : Qt::Unchecked);
            }
        }
        tabLayout->addWidget(tree);
        tabs->addTab(tab, q(group.tab));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 480);
}

void showEepromDialog(command::CScsiDevice& device, ui::Operator& op, const std::filesystem::path& installPath,
                      bool engineeringMode, QWidget* parent) {
    diag::EepromParameterList list(device, op, installPath);
    if (!list.Load()) {
        op.message("The drive's EEPROM parameter page could not be read.", "Vexal", ui::Icon::Exclamation);
        return;
    }
    QDialog dialog(parent);
    dialog.setWindowTitle(q(diag::kEepromDialogTitle));
    auto* layout = new QVBoxLayout(&dialog);
    auto* tree = makeTree(&dialog, {"Parameter", "Value"});
    layout->addWidget(tree);
    auto fill = [&] {
        tree->clear();
        const diag::EepromTreeItem root = diag::buildEepromTree(list.parameters());
        auto* top = new QTreeWidgetItem(tree, {q(root.label), q(root.value)});
        for (const auto& child : root.children) addEepromItem(top, child);
        top->setExpanded(true);
    };
    fill();
    if (engineeringMode)
        QObject::connect(tree, &QTreeWidget::itemDoubleClicked, &dialog, [&](QTreeWidgetItem* item) {
            const std::string name = item->data(0, Qt::UserRole).toString().toStdString();
            const diag::EepromParameter* p = name.empty() ? nullptr : list.find(name);
            if (!p) return;
            std::string value = p->current;
            if (!op.askText("New value of " + name + ":", diag::kEepromDialogTitle, value)) return;
            if (p->type == "d" && !diag::eepromNumberInRange(*p, value)) {
                op.message(diag::kEepromOutOfRangeMessage, "Vexal", ui::Icon::Exclamation);
                return;
            }
            if (!diag::WriteEepromParameter(device, name, value).ok())
                op.message("The drive did not accept the new value of " + name + ".", "Vexal", ui::Icon::Exclamation);
            if (list.Load()) fill();
        });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(640, 520);
    dialog.exec();
}

}  // namespace vexal::gui
