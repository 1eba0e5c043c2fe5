#include "engine/data/record_threads.h"

#include <string.h>

#include <new>

#include "engine/core/engine.h"
#include "engine/data/base95.h"
#include "engine/data/datafile.h"
#include "engine/data/records.h"
#include "engine/data/thread_expr.h"

namespace corvex {

namespace {

char *link_field(const fhrequest *block, int t, char *image) { return image + block->threaddefs[t].offset; }

// Takes the record at `pos`, whose link is `next`, out of thread `t`. The
// walk from the head reads at most `nrecs` members; a thread that ends
// without meeting the record does not hold it.
int unlink_record(fhrequest *block, int t, uint32_t pos, uint32_t next) {
  fhthreaddef &def = block->threaddefs[t];
  if (def.head == pos) {
    def.head = next;
    block->state |= ST_HDRDIRTY;
    return FHS_OK;
  }
  std::unique_ptr<char[]> image(new (std::nothrow) char[block->reclen]);
  if (!image) return FHS_NOMEMORY;
  uint32_t cur = def.head;
  for (uint32_t steps = 0; cur != 0; steps++) {
    if (steps >= block->nrecs) return FHS_READDATA;
    uint32_t len;
    int status = record_read(block, cur, image.get(), &len);
    if (status != FHS_OK) return status;
    uint32_t link;
    status = thread_link(block, t, image.get(), &link);
    if (status != FHS_OK) return status;
    if (link == pos) {
      base95_put(next, LINK_WIDTH, link_field(block, t, image.get()));
      uint32_t slot = (block->mode & FH_VARLEN) ? len : 0;
      status = record_store(block, cur, image.get(), slot, nullptr);
      return status == FHS_NORECORD ? FHS_READDATA : status;
    }
    cur = link;
  }
  return FHS_OK;
}

}  // namespace

int thread_link(const fhrequest *block, int t, const char *image, uint32_t *link) {
  uint32_t value;
  if (!base95_get(image + block->threaddefs[t].offset, LINK_WIDTH, &value)) return FHS_READDATA;
  if (value != 0) {
    int64_t size = data_size(block);
    if (!valid_record_pos(block, value, size)) return FHS_READDATA;
  }
  *link = value;
  return FHS_OK;
}

int thread_plan(fhrequest *block, const char *old, const char *image, ThreadPlan *plan) {
  uint16_t n = block->nthreads;
  plan->was.reset(new (std::nothrow) uint8_t[n ? n : 1]());
  plan->is.reset(new (std::nothrow) uint8_t[n ? n : 1]());
  if (!plan->was || !plan->is) return FHS_NOMEMORY;
  for (uint16_t t = 0; t < n; t++) {
    const char *expr = block->threaddefs[t].expr;
    bool member = false;
    if (old && old[0] == REC_ACTIVE) {
      int status = expr_member(block, expr, old, &member);
      if (status != FHS_OK) return status;
      plan->was[t] = member;
    }
    int status = expr_member(block, expr, image, &member);
    if (status != FHS_OK) return status;
    plan->is[t] = member;
  }
  return FHS_OK;
}

int thread_apply(fhrequest *block, uint32_t pos, const char *old, char *image, const ThreadPlan &plan) {
  for (uint16_t t = 0; t < block->nthreads; t++) {
    if (plan.is[t] && !plan.was[t] && pos >= kLinkLimit) return FHS_THREADOVERFLOW;
  }
  for (uint16_t t = 0; t < block->nthreads; t++) {
    char *field = link_field(block, t, image);
    if (plan.was[t]) {
      uint32_t next;
      int status = thread_link(block, t, old, &next);
      if (status != FHS_OK) return status;
      if (plan.is[t]) {
        base95_put(next, LINK_WIDTH, field);
        continue;
      }
      status = unlink_record(block, t, pos, next);
      if (status != FHS_OK) return status;
    }
    base95_put(plan.is[t] ? block->threaddefs[t].head : 0, LINK_WIDTH, field);
  }
  return FHS_OK;
}

bool thread_join(fhrequest *block, uint32_t pos, const ThreadPlan &plan) {
  bool changed = false;
  for (uint16_t t = 0; t < block->nthreads; t++) {
    if (plan.is[t] && !plan.was[t]) {
      block->threaddefs[t].head = pos;
      changed = true;
    }
  }
  if (changed) block->state |= ST_HDRDIRTY;
  return changed;
}

int thread_leave_all(fhrequest *block, uint32_t pos, const char *old) {
  if (old[0] != REC_ACTIVE) return FHS_OK;
  for (uint16_t t = 0; t < block->nthreads; t++) {
    bool member = false;
    int status = expr_member(block, block->threaddefs[t].expr, old, &member);
    if (status != FHS_OK) return status;
    if (!member) continue;
    uint32_t next;
    status = thread_link(block, t, old, &next);
    if (status == FHS_OK) status = unlink_record(block, t, pos, next);
    if (status != FHS_OK) return status;
  }
  return FHS_OK;
}

}  // namespace corvex
