#pragma once

#include "views/FolderCompare.h"

#include <QDialog>

#include <optional>

class QCheckBox;

// "Comparaison Options": which differences the folder compare leaves out.
class TfrmCompareOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCompareOptions(QWidget* parent = nullptr);

    TCompareOptions Options() const;

    // Shows it modally: the options after "OK", nothing after "Cancel".
    static std::optional<TCompareOptions> Ask(QWidget* parent);

private:
    QCheckBox* IgnoreSize_;
    QCheckBox* IgnoreDate_;
};
