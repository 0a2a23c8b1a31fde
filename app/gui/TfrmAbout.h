#pragma once

#include <QDialog>

namespace tambrel {

// "About Tambrel": the product, its version and where its method library comes from.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
};

} // namespace tambrel
