#include "note_store/conflict_copy_merge.h"

#include <utility>

namespace hiduke {

namespace {

StoreError completed(StoreError error, const NoteStore& store, StoreOperation operation) {
  error.operation = operation;
  if (error.path.empty()) error.path = store.path();
  return error;
}

}  // namespace

StoreResult<ConflictPlan> planConflictMerge(const NoteStore& store) {
  const auto failed = [&](StoreError error) { return completed(std::move(error), store, StoreOperation::kRead); };
  StoreResult<LocatedFile> located = store.locate();
  if (!located) return failed(std::move(located).error());
  ConflictPlan plan;
  StoreResult<std::vector<ConflictCopy>> copies = findConflictCopies(located->directory.get(), located->name);
  if (!copies) return failed(std::move(copies).error());
  plan.copies = std::move(*copies);
  if (plan.copies.empty()) return plan;
  StoreResult<FileContent> file = readWholeFile(located->directory.get(), located->name);
  if (!file) return failed(std::move(file).error());
  plan.file = file->file;
  std::vector<NoteFileText> copyTexts;
  for (const ConflictCopy& copy : plan.copies) {
    StoreResult<FileContent> content = readWholeFile(located->directory.get(), copy.name);
    if (!content) {
      StoreError error = failed(std::move(content).error());
      error.path = store.path().substr(0, store.path().rfind('/') + 1) + copy.name;
      return error;
    }
    copyTexts.push_back(readNoteFileText(content->bytes));
  }
  StoreResult<ConflictMerge> merge = mergeNoteFiles(readNoteFileText(file->bytes), copyTexts);
  if (!merge) return failed(std::move(merge).error());
  plan.merge = std::move(*merge);
  return plan;
}

StoreResult<ConflictMergeReport> mergeConflictCopies(NoteStore& store) {
  ConflictMergeReport report;
  for (int attempt = 0;; ++attempt) {
    StoreResult<ConflictPlan> plan = planConflictMerge(store);
    if (!plan) return std::move(plan).error();
    report.plan = std::move(*plan);
    if (report.plan.copies.empty()) return report;
    report.file = report.plan.file;
    const NoteBatch& batch = report.plan.merge.batch;
    if (batch.empty() && batch.addedLines.empty()) break;
    StoreResult<BatchReport> saved = store.saveNotes(batch, report.plan.file);
    if (saved) {
      report.file = saved->file;
      report.warnings = std::move(saved->warnings);
      break;
    }
    if (saved.error().kind != StoreErrorKind::kChangedOnDisk || attempt == 1) return std::move(saved).error();
  }
  StoreResult<LocatedFile> located = store.locate();
  if (!located) return completed(std::move(located).error(), store, StoreOperation::kSave);
  StoreResult<std::size_t> removed = removeConflictCopies(located->directory.get(), report.plan.copies);
  if (!removed) return completed(std::move(removed).error(), store, StoreOperation::kSave);
  report.removed = *removed;
  return report;
}

}  // namespace hiduke
