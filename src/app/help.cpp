#include "help.h"

#include "ui_help.h"

#include <QFile>

Help::Help(QWidget *parent) : QDialog(parent), ui(new Ui::Help)
{
    ui->setupUi(this);
    QFile document(QStringLiteral(":/help.html"));
    if (document.open(QIODevice::ReadOnly))
        ui->textEdit->setHtml(QString::fromUtf8(document.readAll()));
    setWindowModality(Qt::ApplicationModal);
}

Help::~Help()
{
    delete ui;
}
