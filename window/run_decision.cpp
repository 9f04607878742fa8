#include "window/run_decision.h"

#include <QCoreApplication>

#include "core/error.h"
#include "core/paths.h"

namespace corvane {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("corvane::Run", text);
}

RunRefusal fileError(const char* text) {
    return {tr("File Error"), tr(text), MessageIcon::Critical, RunRefusal::Focus::None};
}

}  // namespace

QString replaceQuestion(const QString& path) {
    return QCoreApplication::translate("corvane::Run",
                                       "%1 already exists !\n\nDo want to overwrite it ?")
        .arg(path);
}

RunDecision decideRun(const RunInputs& in, const RunFiles& files) {
    // Lengths are held in 16 bits, as in the files' command lists.
    if (in.separator.size() > 32767) {
        throw OverflowError(QCoreApplication::translate("corvane::Run",
                                                        "The command separator is %1 characters "
                                                        "long, past the limit of 32,767.")
                                .arg(in.separator.size()));
    }
    if (in.separator.isEmpty()) {
        return {in.newFileText, RunRefusal{tr("Error"), tr("Command Separator can't be empty !"),
                                           MessageIcon::Critical, RunRefusal::Focus::Separator}};
    }

    // The completed name goes back into the box, also when a check below refuses it.
    const QString newPath =
        withDatExtension(completeWithFolder(in.newFileText, in.currentDir, in.folderSeparator));
    if (in.initPath == in.referencePath) {
        return {newPath, fileError("Init file and Ref File could not be the same !")};
    }
    // Compared by text and by identity, so that another spelling of an input file (letter
    // case, a link, "..", a doubled separator) cannot have the result written over it.
    const bool sameAsInit = newPath == in.initPath || files.isSameFile(newPath, in.initPath);
    const bool sameAsReference =
        newPath == in.referencePath || files.isSameFile(newPath, in.referencePath);
    if (sameAsInit || sameAsReference) {
        return {newPath, fileError("New file could not be the same as any of the other !")};
    }
    return {newPath,
            RunPlan{newPath, folderOf(newPath, in.folderSeparator), files.exists(newPath)}};
}

}  // namespace corvane
