#include "mysql/components/mysql_sql_thread.h"

#include <chrono>

#include "mysql/sqltext/sectioned_text.h"

TMySQLSQLThread::TMySQLSQLThread(const TMySQLServer& server, const std::string& database)
    : Settings("[MySQL]\r\nTimeOut=30000") {
  connection_.Assign(server);
  // The copy serves this thread alone: no database or table scripts of its own, and it
  // stays open between jobs.
  connection_.SetOptions(connection_.Options() - soAutoCreate - soDropIfExists - soCloseOnChildren);
  if (!database.empty()) connection_.SetDatabaseName(database);
  thread_ = std::thread([this] { Run(); });
}

TMySQLSQLThread::~TMySQLSQLThread() {
  {
    // Completions are not run here: their dataset is going away.
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(TimeOut()), [this] { return queue_.empty(); });
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

std::int32_t TMySQLSQLThread::TimeOut() const {
  return mysql::ReadSectionInt(Settings.Text(), "MySQL", "TimeOut", 30000);
}

void TMySQLSQLThread::Post(TJob job, TCompletion done) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({std::move(job), std::move(done), nullptr});
  }
  changed_.notify_all();
}

std::size_t TMySQLSQLThread::Pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool TMySQLSQLThread::Deliver(bool wait) {
  std::deque<TItem> done;
  bool idle;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wait)
      changed_.wait_for(lock, std::chrono::milliseconds(TimeOut()), [this] { return queue_.empty(); });
    idle = queue_.empty();
    done.swap(finished_);
  }
  for (TItem& item : done)
    if (item.done) item.done(item.failure);
  return idle;
}

void TMySQLSQLThread::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping with nothing left
    TJob job = std::move(queue_.front().job);
    lock.unlock();
    std::exception_ptr failure;
    try {
      job(connection_);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    TItem item = std::move(queue_.front());
    queue_.pop_front();
    item.failure = failure;
    finished_.push_back(std::move(item));
    changed_.notify_all();
  }
}
