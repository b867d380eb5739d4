#pragma once
// File > Print Preview..., Print... and Export PDF...: the document's pages through the one
// drawing that export also uses.

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

  private:
    // What a printed or exported page shows: the record, the file's name and today's date.
    PrintRequest Now() const;
    Document& doc_;
    Dialogs& dialogs_;
};

}  // namespace zez
