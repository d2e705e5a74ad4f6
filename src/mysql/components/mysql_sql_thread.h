// TMySQLSQLThread: the background SQL thread of a MySQL dataset (doThreadedUpdate). It
// runs jobs one after another on a thread of its own, over a connection of its own: a
// copy of the server's settings with a driver object of its own, so neither the
// dataset nor the server's driver or main handle is ever touched by the thread. The
// outcome of each job is kept until the dataset's thread collects it with Deliver,
// which runs the completions (the OnThreadOpened / OnThreadPosted reports) on that
// thread.
//
// Settings: sectioned text with a "[MySQL]" section; "TimeOut" (milliseconds, 30000) is
// how long Deliver(true) and the destructor wait for the queued jobs.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "mysql/components/mysql_server.h"
#include "mysql/sqltext/string_list.h"

class TMySQLSQLThread {
 public:
  using TJob = std::function<void(TMySQLServer& connection)>;
  // Runs on the dataset's thread with the job's failure (null when it succeeded).
  using TCompletion = std::function<void(std::exception_ptr failure)>;

  // Copies the server's settings (on the calling thread); `database`, when not empty,
  // is the database of the thread's connection, which its jobs connect when they need
  // it (TMySQLServer::ExecSQL does).
  TMySQLSQLThread(const TMySQLServer& server, const std::string& database);
  // Waits (at most TimeOut) for the queued jobs, then stops the thread once the running
  // and queued jobs are done. Completions not collected are dropped.
  ~TMySQLSQLThread();
  TMySQLSQLThread(const TMySQLSQLThread&) = delete;
  TMySQLSQLThread& operator=(const TMySQLSQLThread&) = delete;

  // Queues a job; it runs after every job queued before it.
  void Post(TJob job, TCompletion done);
  // Runs the completions of the finished jobs on the calling thread, in order. With
  // `wait`, first waits until every queued job has finished, at most TimeOut; false
  // when jobs are still running or queued after that.
  bool Deliver(bool wait);
  // Jobs queued or running.
  std::size_t Pending() const;

  mysql::TSBStringList Settings;  // "[MySQL]", "TimeOut=30000"
  std::int32_t TimeOut() const;

 private:
  struct TItem {
    TJob job;
    TCompletion done;
    std::exception_ptr failure;
  };
  void Run();

  TMySQLServer connection_;  // used by the thread only
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<TItem> queue_;     // waiting, the front one running
  std::deque<TItem> finished_;  // waiting to be delivered
  bool stop_ = false;
  std::thread thread_;
};
