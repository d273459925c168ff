#include "help.h"

#include "ui_help.h"

#include <QFile>

// The resources sit in a static library; registering twice is harmless.
static void initHelpResources()
{
    Q_INIT_RESOURCE(quarvex);
}

Help::Help(QWidget *parent) : QDialog(parent), ui(new Ui::Help)
{
    initHelpResources();
    ui->setupUi(this);
    // The document is generated with every example frame checked (scripts/gen-help.py).
    QFile document(QStringLiteral(":/help.html"));
    if (document.open(QIODevice::ReadOnly))
        ui->textEdit->setHtml(QString::fromUtf8(document.readAll()));
    setWindowModality(Qt::ApplicationModal);
}

Help::~Help()
{
    delete ui;
}
