#include <QCoreApplication>

#include "cli/Tool.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvex-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVEX_VERSION));
    return cli::RunTool(app, QCoreApplication::arguments());
}
