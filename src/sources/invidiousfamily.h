// SPDX-License-Identifier: MIT
#pragma once

#include "sourcefamily.h"
#include "instances/instance.h"

namespace vireo {

// Invidious instances: the user's own first when there is one, then the best five of the public
// directory, each asked as is and then with local=true (the instance relays the streams itself).
class InvidiousFamily : public SourceFamily
{
public:
    // `directory`: the public directory's address, empty for the usual one. `ownInstance`: an address
    // Instance::fromAddress() reads, or anything else for none.
    InvidiousFamily(QUrl directory, QString ownInstance);

    [[nodiscard]] QString finding() const override;
    QCoro::Task<QList<std::shared_ptr<Attempt>>> attempts(QString id) override;
    // The instances a video's attempts ask, in their order, each once.
    QCoro::Task<QList<Instance>> instances();

private:
    const QUrl m_directory;
    const QString m_ownInstance;
};

} // namespace vireo
