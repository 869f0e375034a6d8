#pragma once

#include <QHash>
#include <QString>

#include <vector>

namespace Rtf {

// Texts by number, each distinct one once.
class Names {
public:
    int id(const QString& text) {
        const auto it = ids_.constFind(text);
        if (it != ids_.cend()) return *it;
        texts_.push_back(text);
        return *ids_.insert(text, int(texts_.size()) - 1);
    }
    const QString& text(int id) const { return texts_[size_t(id)]; }

private:
    QHash<QString, int> ids_;
    std::vector<QString> texts_;
};

}  // namespace Rtf
