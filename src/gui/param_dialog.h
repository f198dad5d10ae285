#pragma once
// A small form for a command's parameters: numbers held to their ranges, check boxes,
// choices and text, read back by position after OK.
#include <QDialog>

#include <vector>

class QFormLayout;
class QWidget;

namespace vexal::gui {

class ParamDialog : public QDialog {
    Q_OBJECT
public:
    ParamDialog(const QString& title, QWidget* parent);
    int addNumber(const QString& label, long minimum, long maximum, long value);
    int addCheck(const QString& label, bool value);
    int addChoice(const QString& label, const QStringList& items, int index = 0);
    int addText(const QString& label, const QString& value);

    long number(int field) const;
    bool checked(int field) const;
    int choice(int field) const;
    QString text(int field) const;

private:
    QFormLayout* form_;
    std::vector<QWidget*> fields_;  // owned by the dialog
};

}  // namespace vexal::gui
