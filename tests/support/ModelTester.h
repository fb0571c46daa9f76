#pragma once
// Qt's model checks over a model for as long as this lives: every signal the model sends
// is checked against what it then answers, and a broken rule fails the running test.
// Construct it right after the model (so it sees every change) and let it go first.
//
//   TDataSetModel model;
//   TModelTester tester(&model);
//   model.SetDataSet(&cdsGroups);

#include <QAbstractItemModelTester>

class TModelTester : public QAbstractItemModelTester {
public:
    explicit TModelTester(QAbstractItemModel* model)
        : QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest)
    {
    }
};
