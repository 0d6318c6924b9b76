#include "engine/job/Report.h"

#include "engine/base/FileErrors.h"
#include "engine/base/Format.h"
#include "engine/base/Texts.h"
#include "engine/set/RecoveryPlan.h"

namespace engine {

std::string ProblemText(const PieceProblem& problem) {
    switch (problem.kind) {
        case PieceProblem::Kind::Missing: return Fill(texts::kFilesMissingNamed, problem.path);
        case PieceProblem::Kind::NotAFile: return Fill(texts::kNotAFile, problem.path);
        case PieceProblem::Kind::WrongLength: return Fill(texts::kPieceWrongLength, problem.path);
        case PieceProblem::Kind::Damaged: return Fill(texts::kPieceDamaged, problem.path);
        case PieceProblem::Kind::Unreadable: return StandardFileText(CauseFromCode(problem.code), problem.path);
        case PieceProblem::Kind::WholeDamaged: return Fill(texts::kWholeDamaged, problem.path);
    }
    return std::string();
}

namespace {

const char* ProblemPhrase(RecoveryProblem problem) {
    switch (problem) {
        case RecoveryProblem::None: return "";
        case RecoveryProblem::OtherFile: return texts::kRecoveryOtherFile;
        case RecoveryProblem::Disagrees: return texts::kRecoveryDisagrees;
        case RecoveryProblem::Conflicting: return texts::kRecoveryConflicting;
        case RecoveryProblem::Incomplete: return texts::kRecoveryIncomplete;
        case RecoveryProblem::TooLarge: return texts::kRecoveryTooLarge;
    }
    return "";
}

}  // namespace

std::string RecoverySentence(const RecoveryState& state, std::size_t badPieces) {
    const bool one = badPieces == 1;
    std::string text = one ? std::string(texts::kOneBadPiece) : Fill(texts::kBadPiecesCount, std::to_string(badPieces));
    if (!state.found) {
        if (state.problem != RecoveryProblem::None) return text + "; " + ProblemPhrase(state.problem) + ".";
        return text + texts::kNoRecoveryData;
    }
    if (state.canRebuild) return text + (one ? texts::kRecoveryRebuildsIt : texts::kRecoveryRebuildsThem);
    if (state.notCovered > 0) return text + (one ? texts::kRecoveryNotCoveringOne : texts::kRecoveryNotCovering);
    if (state.blocksNeeded > state.blocksAvailable) {
        const std::uint32_t more = state.blocksNeeded - state.blocksAvailable;
        if (more == 1) return text + (one ? texts::kRecoveryNeedsOneMoreOne : texts::kRecoveryNeedsOneMore);
        return text + Fill(one ? texts::kRecoveryNeedsMoreOne : texts::kRecoveryNeedsMore, std::to_string(more));
    }
    return text + (one ? texts::kRecoveryCannotSolveOne : texts::kRecoveryCannotSolve);
}

std::string RecoveryProblemLine(const RecoveryState& state) {
    if (state.found || state.problem == RecoveryProblem::None) return std::string();
    std::string line = ProblemPhrase(state.problem);
    if (!line.empty() && line[0] >= 'a' && line[0] <= 'z') line[0] = static_cast<char>(line[0] - 'a' + 'A');
    return line + ".";
}

std::string VerifySummary(const VerifyReport& report) {
    std::string out;
    for (const PieceProblem& problem : report.problems) {
        switch (problem.kind) {
            case PieceProblem::Kind::Missing: out += "missing: " + problem.path; break;
            case PieceProblem::Kind::NotAFile: out += "not a file: " + problem.path; break;
            case PieceProblem::Kind::WrongLength: out += "wrong length: " + problem.path; break;
            case PieceProblem::Kind::Damaged: out += "damaged (checksum does not match): " + problem.path; break;
            case PieceProblem::Kind::Unreadable: out += "unreadable: " + ProblemText(problem); break;
            case PieceProblem::Kind::WholeDamaged:
                out += "damaged: the pieces do not make the file that " + problem.path + " records";
                break;
        }
        out += "\n";
    }
    if (report.quick) {
        // What was looked at, and plainly that no data was.
        out += std::to_string(report.pieces) + " pieces found by name and length: ";
        out += report.problems.empty() ? std::string("all there") : std::to_string(report.problems.size()) + " bad";
        out += "\n";
        if (report.recoveryFiles > 0) {
            out += Fill(Fill(texts::kQuickRecoveryFiles, std::to_string(report.recoveryFiles)),
                        std::to_string(report.recovery.blocksAvailable), "%2") +
                   "\n";
        }
        return out + texts::kQuickNoDataRead + "\n";
    }
    out += std::to_string(report.pieces) + " pieces checked: ";
    out += report.problems.empty() ? std::string("all good") : std::to_string(report.problems.size()) + " bad";
    if (!report.checksums) out += " (the info file records no checksums: lengths only)";
    out += "\n";
    std::size_t badPieces = 0;
    for (const PieceProblem& problem : report.problems) {
        if (problem.piece != PieceProblem::kNoPiece) ++badPieces;
    }
    // A set without recovery files is reported as it always was.
    const bool recoveryFiles = report.recovery.found || report.recovery.problem != RecoveryProblem::None;
    if (badPieces > 0 && report.rebuilt.empty() && recoveryFiles) {
        out += RecoverySentence(report.recovery, badPieces) + "\n";
    } else if (report.recovery.found && report.rebuilt.empty()) {
        out += RebuildableText(report.recovery.wholePieces) + "\n";
    } else if (report.rebuilt.empty() && recoveryFiles) {
        out += RecoveryProblemLine(report.recovery) + "\n";
    }
    for (const std::string& name : report.rebuilt) out += "rebuilt: " + name + "\n";
    return out;
}

}  // namespace engine
