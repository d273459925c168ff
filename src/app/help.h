#pragma once

#include <QDialog>

namespace Ui {
class Help;
}

// The module's user and protocol document, in one application-modal dialog that is
// created once and shown again on every request.
class Help : public QDialog
{
    Q_OBJECT

public:
    explicit Help(QWidget *parent = nullptr);
    ~Help() override;

private:
    Ui::Help *ui;
};
