#pragma once

#include <QValidator>

namespace rq::app {

// Holds a text box to a number of characters (code points). QLineEdit's own limit counts
// UTF-16 units and would cut a character outside the Basic Multilingual Plane in half.
// An edit that makes the text too long loses characters just before the cursor, that is
// the end of what was typed or pasted, so the text already there stays as it was.
class FieldLengthValidator final : public QValidator {
    Q_OBJECT

  public:
    FieldLengthValidator(qsizetype maxCharacters, QObject* parent);

    State validate(QString& input, int& pos) const override;

  private:
    qsizetype maxCharacters_;
};

}  // namespace rq::app
