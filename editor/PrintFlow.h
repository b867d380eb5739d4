#pragma once
// File > Print Preview..., Print... and Export PDF...: the document's pages through the one
// drawing that export also uses; File > Export Report...: the HTML commissioning report.

#include <QObject>

#include "editor/Dialogs.h"
#include "editor/Document.h"
#include "export/DiagramDrawing.h"

namespace zez {

class PrintFlow : public QObject {
    Q_OBJECT
  public:
    PrintFlow(Document& doc, Dialogs& dialogs, QObject* parent = nullptr);
    void Print(bool preview);
    void ExportPdf();
    void ExportReport();

  private:
    // What a printed or exported page shows: the record, the file's name and today's date.
    PrintRequest Now() const;
    // The file dialog's first name: the document's file with `extension`, else one in the home
    // folder.
    QString InitialName(const QString& extension) const;
    // An export never writes over a configuration file: says so and returns true for one.
    bool HoldsConfigurationSaid(const QString& name, const QString& title);
    Document& doc_;
    Dialogs& dialogs_;
};

}  // namespace zez
